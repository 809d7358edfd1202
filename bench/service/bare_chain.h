#pragma once
// The same wake-up chain the service's latency crosses, with no service in it: a thread blocked
// in read() on a pseudo-terminal's slave takes a line and wakes, through a futex, a second
// thread that stamps CLOCK_MONOTONIC. On a virtual machine most of an end-to-end tail is the
// time a halted virtual CPU takes to run again; measured side by side with the service, this
// chain shows how much of the tail the machine alone gives.

#include <atomic>
#include <cstdint>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/tarnwick-sim/pseudo_terminal.h"

namespace tarnwick::bench {

class BareChain {
  public:
    // Room for periods 0 .. periods-1. Throws std::system_error when the line cannot be opened.
    explicit BareChain(std::size_t periods);
    ~BareChain();
    BareChain(const BareChain&) = delete;
    BareChain& operator=(const BareChain&) = delete;

    // Writes "<period>\n" into the line; returns CLOCK_MONOTONIC after the write, or -1.
    std::int64_t send(std::size_t period);
    // After the chain stopped: when each period's line was stamped, -1 for none.
    const std::vector<std::int64_t>& received_at() const { return received_at_; }
    // Ends both threads; called by the destructor too.
    void stop();

  private:
    void read_lines();
    void stamp_lines();

    sim::PseudoTerminal line_;
    int reader_fd_ = -1;
    std::vector<std::int64_t> received_at_;
    // The reader publishes the period it took, then bumps `published_` and wakes the stamper.
    std::atomic<std::uint32_t> published_{0};
    std::atomic<std::int64_t> period_{-1};
    std::atomic<bool> stopping_{false};
    std::thread reader_;
    std::thread stamper_;
};

}  // namespace tarnwick::bench
