#include "tools/tarnwick-sim/scenario.h"

#include <algorithm>
#include <cmath>

namespace tarnwick::sim {
namespace {

constexpr double knots_per_metre_per_second = 3600.0 / 1852.0;
constexpr double geoid_separation = -32.4;    // metres, for the start area
constexpr double magnetic_variation = -14.2;  // degrees (west)

VehicleState start_state(const ScenarioOptions& options) {
    VehicleState state;
    state.latitude = options.latitude;
    state.longitude = options.longitude;
    state.altitude = options.altitude;
    state.course = 62.0;
    return state;
}

}  // namespace

Scenario::Scenario(const ScenarioOptions& options)
    : options_(options),
      track_(start_state(options), options.seed),
      sky_(options.seed ^ 0x5a7e111e5ULL, options.max_in_view) {}

bool Scenario::shaded(std::int64_t elapsed) const noexcept {
    return elapsed < searching_until_ ||
           (elapsed >= options_.outage_start &&
            elapsed < static_cast<std::int64_t>(options_.outage_start) + options_.outage_length);
}

void Scenario::lose_fix_for(int epochs) noexcept {
    searching_until_ = std::max(searching_until_, elapsed_ + epochs);
}

Epoch Scenario::next_epoch() {
    if (elapsed_ > 0) {
        track_.advance_one_second();
    }
    Epoch epoch;
    epoch.utc = utc_from_unix_seconds(options_.start_time + elapsed_);
    epoch.in_view = sky_.in_view(static_cast<double>(elapsed_), !shaded(elapsed_));
    epoch.used_prns = choose_used_satellites(epoch.in_view);
    epoch.has_fix = epoch.used_prns.size() >= 4;
    epoch.magnetic_variation = magnetic_variation;
    if (epoch.has_fix) {
        const VehicleState& vehicle = track_.state();
        epoch.latitude = vehicle.latitude;
        epoch.longitude = vehicle.longitude;
        epoch.altitude = vehicle.altitude;
        epoch.geoid_separation = geoid_separation;
        epoch.speed_knots = vehicle.speed * knots_per_metre_per_second;
        epoch.course_true = vehicle.course;
        const double used = static_cast<double>(epoch.used_prns.size());
        epoch.hdop = 0.6 + 6.0 / used;
        epoch.pdop = epoch.hdop * 1.7;
        epoch.vdop = std::sqrt(epoch.pdop * epoch.pdop - epoch.hdop * epoch.hdop);
    } else {
        epoch.used_prns.clear();
    }
    ++elapsed_;
    return epoch;
}

UtcTime utc_from_unix_seconds(std::int64_t seconds) noexcept {
    // Days to civil date after H. Hinnant's public-domain algorithm.
    std::int64_t days = seconds / 86400;
    std::int64_t of_day = seconds % 86400;
    if (of_day < 0) {
        of_day += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t day_of_era = days - era * 146097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t month_index = (5 * day_of_year + 2) / 153;
    UtcTime utc;
    utc.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
    utc.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
    utc.year = static_cast<int>(year_of_era + era * 400 + (utc.month <= 2 ? 1 : 0));
    utc.hour = static_cast<int>(of_day / 3600);
    utc.minute = static_cast<int>(of_day / 60 % 60);
    utc.second = static_cast<double>(of_day % 60);
    return utc;
}

}  // namespace tarnwick::sim
