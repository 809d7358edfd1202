#pragma once
// A deterministic drive, epoch by epoch at 1 Hz: the vehicle's track, the sky above it, and a
// stretch in which the antenna is shaded (a tunnel) and the receiver loses its fix.

#include <cstdint>

#include "tools/tarnwick-sim/epoch.h"
#include "tools/tarnwick-sim/satellite_sky.h"
#include "tools/tarnwick-sim/vehicle_track.h"

namespace tarnwick::sim {

struct ScenarioOptions {
    std::uint64_t seed = 1;
    std::int64_t start_time = 1773480600;  // seconds since 1970-01-01 UTC: 2026-03-14 09:30:00
    double latitude = 45.5017;             // degrees, north positive
    double longitude = -73.5673;           // degrees, east positive
    double altitude = 36.0;                // metres
    int max_in_view = 14;                  // satellites a GSV set reports at most
    int outage_start = 150;                // seconds after the start
    int outage_length = 35;                // seconds without fix; 0 for none
};

class Scenario {
  public:
    explicit Scenario(const ScenarioOptions& options);

    // The next epoch; the first one is at the start time.
    Epoch next_epoch();
    // The receiver has restarted: the next `epochs` epochs have no fix, as it searches the sky
    // again (an outage already running is not shortened).
    void lose_fix_for(int epochs) noexcept;

  private:
    bool shaded(std::int64_t elapsed) const noexcept;

    ScenarioOptions options_;
    VehicleTrack track_;
    SatelliteSky sky_;
    std::int64_t elapsed_ = 0;          // seconds since the start
    std::int64_t searching_until_ = 0;  // no fix before this second (after a restart)
};

// The calendar date and time of a count of seconds since 1970-01-01 UTC.
UtcTime utc_from_unix_seconds(std::int64_t seconds) noexcept;

}  // namespace tarnwick::sim
