#include "platform/monotonic_deadline.h"

namespace tarnwick::platform {

std::int64_t monotonic_now_ns() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

std::int64_t MonotonicDeadline::remaining_ns() const {
    std::int64_t left = at_ns_ - monotonic_now_ns();
    return left > 0 ? left : 0;
}

timespec MonotonicDeadline::as_timespec() const {
    timespec at{};
    at.tv_sec = static_cast<time_t>(at_ns_ / 1'000'000'000);
    at.tv_nsec = static_cast<long>(at_ns_ % 1'000'000'000);
    return at;
}

}  // namespace tarnwick::platform
