#pragma once
// SIGINT, SIGTERM and SIGHUP as a readable descriptor, so that a simulator's single event loop
// notices them between two waits and can still remove what it published before it ends.

namespace tarnwick::sim {

class StopSignals {
  public:
    // Blocks the three signals for the process and opens a signalfd for them. Throws
    // std::system_error when the descriptor cannot be opened.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable once a stop signal is pending.
    int fd() const noexcept { return fd_; }
    // True when a stop signal has arrived; consumes it.
    bool arrived() noexcept;

  private:
    int fd_ = -1;
};

}  // namespace tarnwick::sim
