#pragma once
// A point on CLOCK_MONOTONIC after a time-out in milliseconds, or "never" for INFINITE.

#include <time.h>

#include <cstdint>

#include "platform/win32.h"

namespace tarnwick::platform {

std::int64_t monotonic_now_ns() noexcept;

class MonotonicDeadline {
  public:
    static MonotonicDeadline never() { return MonotonicDeadline{-1}; }
    static MonotonicDeadline after_ms(DWORD milliseconds) {
        if (milliseconds == INFINITE) {
            return never();
        }
        return MonotonicDeadline{monotonic_now_ns() + std::int64_t{milliseconds} * 1'000'000};
    }
    static MonotonicDeadline at_ns(std::int64_t when) { return MonotonicDeadline{when}; }

    bool is_never() const { return at_ns_ < 0; }
    bool passed() const { return !is_never() && monotonic_now_ns() >= at_ns_; }
    std::int64_t ns() const { return at_ns_; }
    // Nanoseconds left (0 when passed); meaningless for never().
    std::int64_t remaining_ns() const;
    timespec as_timespec() const;

  private:
    explicit MonotonicDeadline(std::int64_t at) : at_ns_(at) {}
    std::int64_t at_ns_;
};

}  // namespace tarnwick::platform
