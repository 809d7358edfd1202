#pragma once
// The terminal as a full screen: the alternate screen with the cursor hidden and typed keys not
// echoed while the view runs, and everything as it was afterwards. Plain ANSI escapes; the
// size is asked of the terminal at every draw, so a resized window redraws to fit.

#include <termios.h>
#include <string>
#include <vector>

#include "tools/tarnwick/view/view_render.h"

namespace tarnwick::cli::view {

class TerminalScreen {
  public:
    // True when standard output is a terminal.
    static bool available();

    TerminalScreen();
    ~TerminalScreen();
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    // The terminal's size now; 24 × 80 when it does not say.
    ScreenSize size() const;
    // Replaces the screen's content with `lines` in one write. `clear_all` wipes the screen
    // first (after a resize, when old text may stand outside the new lines).
    void draw(const std::vector<std::string>& lines, bool clear_all);

  private:
    bool echo_off_ = false;
    termios saved_input_{};
};

}  // namespace tarnwick::cli::view
