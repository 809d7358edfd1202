#pragma once
// The live view's state as text: the full screen for a terminal, and single lines for output
// that is not one. Pure functions of the state and the moment, so that tests compare text.

#include <string>
#include <vector>

#include "tools/tarnwick/view/view_state.h"

namespace tarnwick::cli::view {

struct ScreenSize {
    int rows = 24;
    int columns = 80;
};

// At most size.rows lines of at most size.columns characters each, without escapes. What
// does not fit is left out from the bottom: the satellites list shortens first.
std::vector<std::string> render_screen(const ViewState& state, ScreenSize size,
                                       Clock::time_point now);

// One line for the latest epoch: time, fix, position, speed, course, altitude, DOP,
// satellites, the fix's age and the input.
std::string render_summary_line(const ViewState& state, Clock::time_point now);
// One line for a notification.
std::string render_notification_line(const Notification& notification);

}  // namespace tarnwick::cli::view
