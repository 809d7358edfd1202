#pragma once
// Wall-clock times of a live simulation: when each epoch is due (counted from the start, so
// that late wake-ups never make the schedule drift) and when the moments set in seconds come.

#include <chrono>
#include <cstdint>

namespace tarnwick::sim {

class EpochClock {
  public:
    using Clock = std::chrono::steady_clock;

    explicit EpochClock(double rate) noexcept : rate_(rate), start_(Clock::now()) {}

    // The moment `seconds` after the start.
    Clock::time_point at(double seconds) const noexcept {
        return start_ +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }
    // Whether a moment given in seconds (0: never) has come.
    bool reached(double seconds, Clock::time_point now) const noexcept {
        return seconds > 0.0 && now >= at(seconds);
    }
    Clock::time_point next_epoch_at() const noexcept {
        return at(static_cast<double>(epochs_) / rate_);
    }
    void epoch_taken() noexcept { ++epochs_; }
    double period() const noexcept { return 1.0 / rate_; }

  private:
    double rate_;
    Clock::time_point start_;
    std::int64_t epochs_ = 0;
};

// Milliseconds from now until `until` for poll(), rounded up; 0 when it has passed.
inline int milliseconds_until(EpochClock::Clock::time_point until,
                              EpochClock::Clock::time_point now) noexcept {
    if (until <= now) {
        return 0;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return left > 60000 ? 60000 : static_cast<int>(left);
}

}  // namespace tarnwick::sim
