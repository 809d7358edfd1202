#include "tools/tarnwick-sim/satellite_sky.h"

#include <algorithm>
#include <cmath>

namespace tarnwick::sim {
namespace {

struct Orbit {
    int prn;
    double elevation;       // degrees at the start
    double azimuth;         // degrees at the start
    double elevation_rate;  // degrees per second
    double azimuth_rate;    // degrees per second
};

// Eight satellites well up, five setting and three rising at a degree every 100 s, so that the
// number in view moves between 11 and 14 over the first five minutes.
constexpr Orbit orbits[] = {
    {2, 67.0, 41.0, 0.004, 0.010},    {5, 7.6, 302.0, -0.010, 0.006},
    {7, 45.0, 133.0, 0.007, -0.005},  {9, 7.1, 210.0, -0.010, 0.004},
    {12, 81.0, 275.0, -0.003, 0.020}, {13, 34.0, 66.0, -0.005, 0.007},
    {15, 52.0, 181.0, 0.006, 0.008},  {17, 7.8, 248.0, -0.010, -0.006},
    {20, 5.4, 95.0, -0.010, 0.003},   {21, 28.0, 156.0, 0.005, 0.009},
    {24, 4.7, 320.0, 0.010, -0.004},  {25, 58.0, 12.0, -0.004, 0.011},
    {26, 6.5, 230.0, -0.010, 0.002},  {29, 39.0, 108.0, 0.003, -0.008},
    {30, 4.3, 35.0, 0.010, 0.005},    {31, 3.4, 340.0, 0.010, 0.005},
};

constexpr double horizon_mask = 5.0;  // degrees

}  // namespace

SatelliteSky::SatelliteSky(std::uint64_t seed, int max_in_view) noexcept
    : random_(seed), max_in_view_(max_in_view) {}

std::vector<SatelliteInView> SatelliteSky::in_view(double seconds, bool tracking) {
    std::vector<SatelliteInView> visible;
    for (const Orbit& orbit : orbits) {
        const double elevation =
            std::clamp(orbit.elevation + orbit.elevation_rate * seconds, -5.0, 89.0);
        if (elevation < horizon_mask) {
            continue;
        }
        SatelliteInView satellite;
        satellite.prn = orbit.prn;
        satellite.elevation = static_cast<int>(std::lround(elevation));
        satellite.azimuth = static_cast<int>(std::lround(std::fmod(
                                orbit.azimuth + orbit.azimuth_rate * seconds + 360.0, 360.0))) %
                            360;
        // Signal grows with elevation; shading leaves only the odd high satellite heard weakly.
        const double snr = 24.0 + elevation * 0.28 + random_.uniform(-2.5, 2.5);
        if (tracking) {
            satellite.snr = static_cast<int>(std::lround(snr));
        } else if (elevation > 60.0 && random_.uniform(0.0, 1.0) < 0.5) {
            satellite.snr = static_cast<int>(std::lround(snr * 0.5));
        }
        visible.push_back(satellite);
    }
    if (static_cast<int>(visible.size()) > max_in_view_) {
        std::stable_sort(visible.begin(), visible.end(),
                         [](const SatelliteInView& a, const SatelliteInView& b) {
                             return a.elevation > b.elevation;
                         });
        visible.resize(static_cast<std::size_t>(max_in_view_));
        std::sort(visible.begin(), visible.end(),
                  [](const SatelliteInView& a, const SatelliteInView& b) { return a.prn < b.prn; });
    }
    return visible;
}

std::vector<int> choose_used_satellites(const std::vector<SatelliteInView>& in_view) {
    std::vector<SatelliteInView> tracked;
    for (const SatelliteInView& satellite : in_view) {
        if (satellite.snr >= 25) {
            tracked.push_back(satellite);
        }
    }
    std::stable_sort(
        tracked.begin(), tracked.end(),
        [](const SatelliteInView& a, const SatelliteInView& b) { return a.snr > b.snr; });
    if (tracked.size() > 12) {
        tracked.resize(12);
    }
    std::vector<int> used;
    for (const SatelliteInView& satellite : tracked) {
        used.push_back(satellite.prn);
    }
    std::sort(used.begin(), used.end());
    return used;
}

}  // namespace tarnwick::sim
