#pragma once
// Stop signals (SIGINT, SIGTERM, and whichever others a program names) as a request to stop
// rather than an end on the spot, so that a program still releases what it holds and publishes
// before it ends. A Linux extension of the platform layer.
//
// The signals are blocked from construction on, for the constructing thread and every thread it
// starts later: construct this before any other thread exists.

#include <signal.h>

#include <functional>
#include <initializer_list>
#include <thread>

namespace tarnwick::platform {

class StopSignals {
  public:
    // Blocks `signals` and opens a descriptor that becomes readable while one is pending.
    // Throws std::system_error when it cannot.
    explicit StopSignals(std::initializer_list<int> signals = {SIGINT, SIGTERM});
    // Ends the watching thread, if there is one, whether or not a signal came.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // For a program's own event loop: readable once a stop signal is pending.
    int fd() const noexcept { return signal_fd_; }
    // True when a stop signal had arrived; consumes it.
    bool arrived() noexcept;

    // For a program without an event loop: calls on_stop once, on a thread of its own, when the
    // first stop signal arrives (also one that arrived before this call). At most one watch.
    void watch(std::function<void()> on_stop);
    // Ends the watching thread; once this returns, on_stop is not running and never will. For
    // callers whose on_stop uses objects that end before this one.
    void stop_watching() noexcept;

  private:
    int signal_fd_ = -1;
    // Ends the watching thread when this object goes.
    int closing_fd_ = -1;
    std::thread watcher_;
};

}  // namespace tarnwick::platform
