#pragma once
// Where the live view goes: the full screen of a terminal, redrawn at most ten times a second
// and at least once a second (the fix's age keeps counting), or plain lines on a pipe or file.
// Lines follow whole epochs: an epoch's line is printed when the next one begins (its GGA, GSA
// and GSV come after its RMC), before a notification, and at the end.

#include <chrono>
#include <optional>

#include "client/stream_message.h"
#include "tools/tarnwick/view/terminal_screen.h"
#include "tools/tarnwick/view/view_model.h"

namespace tarnwick::cli::view {

class ViewOutput {
  public:
    static constexpr std::chrono::milliseconds frame_gap{100};
    static constexpr std::chrono::milliseconds idle_redraw{1000};
    // The longest the caller should wait before it looks at its signals again.
    static constexpr std::chrono::milliseconds longest_wait{100};

    explicit ViewOutput(bool full_screen);

    // Before `message` is folded into the state: lines print the epoch an RMC closes.
    void before(const client::StreamMessage& message, const ViewState& state,
                Clock::time_point now);
    // After the model took a message (or a loss, or the end of the service).
    void after(Change change, const ViewState& state, Clock::time_point now);
    void input_changed() noexcept { dirty_ = true; }

    // Draws the screen when a frame is due; returns how long the caller may wait for news.
    std::chrono::milliseconds draw_if_due(const ViewState& state, bool resized,
                                          Clock::time_point now);
    // Prints what is pending, or gives the terminal back as it was.
    void finish(const ViewState& state, Clock::time_point now);
    bool failed() const;

  private:
    void flush_epoch(const ViewState& state, Clock::time_point now);

    std::optional<TerminalScreen> screen_;
    bool dirty_ = true;
    bool epoch_pending_ = false;
    Clock::time_point last_draw_{};
};

}  // namespace tarnwick::cli::view
