#pragma once
// One point of a track: what a valid fix's epoch tells about the place, in the units GPX and
// GeoJSON use. An epoch is the RMC, GGA and GSA of one moment (track_epochs.h).

#include <optional>
#include <string>
#include <string_view>

#include "client/records.h"

namespace tarnwick::tools {

struct Epoch {
    std::optional<client::RMC> rmc;
    std::optional<client::GGA> gga;
    std::optional<client::GSA> gsa;
};

struct TrackPoint {
    // Signed decimal degrees (north and east positive), rounded to 7 places (about 1 cm).
    double latitude = 0;
    double longitude = 0;
    // "2026-03-14T09:30:01Z", milliseconds when the second has a fraction; empty when the RMC's
    // date or time is not a real moment.
    std::string time;
    // Metres above mean sea level (GGA).
    std::optional<double> elevation;
    // Metres per second, to the millimetre, and degrees from true north (RMC).
    std::optional<double> speed;
    std::optional<double> course;
    // GPX's fix type: "none", "2d", "3d", "dgps", "pps"; empty when the epoch does not tell.
    std::string_view fix;
    // Satellites used (GGA) and dilutions of precision; absent where the epoch left them empty.
    std::optional<int> satellites;
    std::optional<double> hdop;
    std::optional<double> vdop;
    std::optional<double> pdop;
};

// The point of an epoch whose RMC reports a valid fix ('A') at a position on the globe;
// nothing otherwise.
std::optional<TrackPoint> track_point_of(const Epoch& epoch);

}  // namespace tarnwick::tools
