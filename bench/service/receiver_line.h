#pragma once
// The benchmark's own receiver: a pseudo-terminal bound to a free "COMn:" name, written by the
// benchmark itself, so that the instant the last byte of a sentence enters the line is known
// exactly (the write returns) and the pace is the benchmark's to choose.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/tarnwick-sim/port_binding.h"
#include "tools/tarnwick-sim/pseudo_terminal.h"

namespace tarnwick::bench {

class ReceiverLine {
  public:
    // Opens the line and binds it in the namespace's port map. Throws on failure.
    ReceiverLine();

    const std::wstring& port_name() const noexcept { return binding_.name(); }

    // Writes every byte, waiting while the line is full (the reader has not caught up); returns
    // CLOCK_MONOTONIC in nanoseconds right after the last byte went in. False when the line
    // failed.
    bool send(std::string_view bytes, std::int64_t& written_at_ns);
    bool send(std::string_view bytes);
    // Makes a send waiting on a full line, and every later one, return false: the way out when
    // the reader is gone.
    void cancel() noexcept { cancelled_ = true; }

  private:
    std::atomic<bool> cancelled_{false};
    sim::PseudoTerminal line_;
    sim::PortBinding binding_;
};

// CLOCK_MONOTONIC in nanoseconds.
std::int64_t monotonic_ns();

// Sleeps until CLOCK_MONOTONIC reaches at_ns, through interruptions.
void sleep_until(std::int64_t at_ns);

}  // namespace tarnwick::bench
