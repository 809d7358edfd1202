#pragma once
// What a receiver knows at one instant: the input from which its sentences are written.

#include <cstdint>
#include <vector>

namespace tarnwick::sim {

struct UtcTime {
    int year = 2000;  // full year
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    double second = 0.0;
};

struct SatelliteInView {
    int prn = 0;
    int elevation = 0;  // degrees
    int azimuth = 0;    // degrees true
    int snr = 0;        // dB-Hz; 0 when the satellite is not tracked
};

struct Epoch {
    UtcTime utc;
    bool has_fix = false;
    double latitude = 0.0;   // degrees, north positive
    double longitude = 0.0;  // degrees, east positive
    double altitude = 0.0;   // metres above mean sea level
    double geoid_separation = 0.0;
    double speed_knots = 0.0;
    double course_true = 0.0;         // degrees
    double magnetic_variation = 0.0;  // degrees, east positive
    std::vector<SatelliteInView> in_view;
    std::vector<int> used_prns;  // at most 12, in the order a receiver lists them
    double pdop = 0.0;
    double hdop = 0.0;
    double vdop = 0.0;
};

}  // namespace tarnwick::sim
