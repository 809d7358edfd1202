#include "tools/tarnwick-sim/vehicle_track.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace tarnwick::sim {
namespace {

constexpr double earth_radius = 6371000.0;                       // metres
constexpr double max_acceleration = 1.8;                         // metres per second squared
constexpr double max_deceleration = 3.0;                         // metres per second squared
constexpr double speeds[] = {0.0, 8.0, 13.9, 13.9, 19.4, 25.0};  // stop, town, road, fast road

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}
double degrees(double radians) {
    return radians * 180.0 / std::numbers::pi;
}

}  // namespace

VehicleTrack::VehicleTrack(const VehicleState& start, std::uint64_t seed) noexcept
    : state_(start), random_(seed) {
    choose_next_manoeuvre();
}

void VehicleTrack::choose_next_manoeuvre() noexcept {
    const auto pick = static_cast<std::size_t>(random_.uniform(0.0, std::size(speeds)));
    target_speed_ = speeds[std::min(pick, std::size(speeds) - 1)];
    // A standing vehicle does not turn; a moving one mostly holds its course.
    const double turn = random_.uniform(0.0, 1.0);
    turn_rate_ = turn < 0.55 ? 0.0 : random_.uniform(-9.0, 9.0);
    seconds_left_ = static_cast<int>(random_.uniform(8.0, 40.0));
}

void VehicleTrack::advance_one_second() noexcept {
    if (--seconds_left_ <= 0) {
        choose_next_manoeuvre();
    }
    const double change =
        std::clamp(target_speed_ - state_.speed, -max_deceleration, max_acceleration);
    state_.speed = std::max(0.0, state_.speed + change);
    if (state_.speed > 1.0) {
        // Sharp turns only at low speed, as on real roads.
        const double rate = turn_rate_ * std::min(1.0, 12.0 / state_.speed);
        state_.course = std::fmod(state_.course + rate + 360.0, 360.0);
    }
    const double distance = state_.speed;  // over one second
    const double course = radians(state_.course);
    state_.latitude += degrees(distance * std::cos(course) / earth_radius);
    state_.longitude +=
        degrees(distance * std::sin(course) / (earth_radius * std::cos(radians(state_.latitude))));
    state_.altitude += random_.uniform(-0.3, 0.3);
}

}  // namespace tarnwick::sim
