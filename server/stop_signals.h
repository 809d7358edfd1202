#pragma once
// SIGINT and SIGTERM as a request to stop, delivered to a callback on a thread of its own, so
// that the service stops as a Quit request stops it. The signals are blocked from construction
// on, for the constructing thread and every thread it starts later: construct this first.

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace tarnwick::server {

class StopSignals {
  public:
    StopSignals();
    // Ends the watching thread, whether or not a signal came.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Calls on_stop once, on the watching thread, when the first stop signal arrives (also one
    // that arrived before this call).
    void watch(std::function<void()> on_stop);

  private:
    sigset_t signals_{};
    std::atomic<bool> closing_{false};
    std::thread watcher_;
};

}  // namespace tarnwick::server
