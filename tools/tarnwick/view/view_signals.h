#pragma once
// The signals the live view answers: SIGINT, SIGTERM and SIGHUP end it (so that it can restore
// the terminal and close its handles), SIGWINCH redraws it. The handlers only set flags, which
// the view's loop reads between two waits of at most a tenth of a second.

#include <signal.h>

namespace tarnwick::cli::view {

class ViewSignals {
  public:
    // Installs the handlers; the destructor puts the earlier ones back. One at a time.
    ViewSignals();
    ~ViewSignals();
    ViewSignals(const ViewSignals&) = delete;
    ViewSignals& operator=(const ViewSignals&) = delete;

    bool stop_requested() const noexcept;
    // True once after each resize.
    bool take_resize() noexcept;

  private:
    static constexpr int handled[] = {SIGINT, SIGTERM, SIGHUP, SIGWINCH};
    struct sigaction saved_[sizeof handled / sizeof handled[0]] = {};
};

}  // namespace tarnwick::cli::view
