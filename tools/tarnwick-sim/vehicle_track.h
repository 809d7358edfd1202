#pragma once
// A vehicle driving about: it speeds up, slows down, stops now and then and turns, with the
// limits of a car, so that successive fixes look like a real drive.

#include "tools/tarnwick-sim/random_source.h"

namespace tarnwick::sim {

struct VehicleState {
    double latitude = 0.0;   // degrees
    double longitude = 0.0;  // degrees
    double altitude = 0.0;   // metres
    double speed = 0.0;      // metres per second
    double course = 0.0;     // degrees true, [0, 360)
};

class VehicleTrack {
  public:
    VehicleTrack(const VehicleState& start, std::uint64_t seed) noexcept;

    // Moves the vehicle on by one second.
    void advance_one_second() noexcept;
    const VehicleState& state() const noexcept { return state_; }

  private:
    void choose_next_manoeuvre() noexcept;

    VehicleState state_;
    RandomSource random_;
    double target_speed_ = 0.0;  // metres per second
    double turn_rate_ = 0.0;     // degrees per second
    int seconds_left_ = 0;       // of the current manoeuvre
};

}  // namespace tarnwick::sim
