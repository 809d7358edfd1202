#include "tools/common/track_point.h"

#include <cmath>
#include <cstdio>

#include "tools/common/json_number.h"

namespace tarnwick::tools {
namespace {

constexpr double metres_per_second_per_knot = 1852.0 / 3600.0;

// Rounded to `scale` (a power of ten) parts. Adding +0.0 here and below turns -0 into 0, which
// readers would otherwise show as "-0".
double rounded(double value, double scale) {
    return std::round(value * scale) / scale + 0.0;
}

std::optional<double> finite(float value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return as_written(value) + 0.0;
}

// An empty field decodes as 0, and no receiver reports a dilution below 1.
std::optional<double> dilution(float value) {
    return value > 0 ? finite(value) : std::nullopt;
}

// Degrees + minutes as signed degrees; nothing for a hemisphere other than the two given or
// for values off the globe.
std::optional<double> degrees(std::int32_t whole, float minutes, char hemisphere, char positive,
                              char negative, int limit) {
    if ((hemisphere != positive && hemisphere != negative) || whole < 0 || whole > limit ||
        !(minutes >= 0 && minutes < 60)) {
        return std::nullopt;
    }
    const double value = rounded(whole + as_written(minutes) / 60.0, 1e7);
    if (value > limit) {
        return std::nullopt;
    }
    return hemisphere == positive ? value : -value + 0.0;
}

bool leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in(int month, int year) {
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap(year) ? 29 : days[month - 1];
}

// RMC gives the year in two digits: GPS began in 1980, so 80 to 99 are the last century's.
std::string iso_time(const client::RMC& rmc) {
    const int year = rmc.year >= 80 ? 1900 + rmc.year : 2000 + rmc.year;
    const double second = as_written(rmc.time.second);
    if (rmc.year < 0 || rmc.month < 1 || rmc.month > 12 || rmc.day < 1 ||
        rmc.day > days_in(rmc.month, year) || rmc.time.hour > 23 || rmc.time.minute > 59 ||
        !(second >= 0 && second < 60)) {
        return {};
    }
    // Milliseconds, never rounded up into the next minute.
    const long milliseconds = std::min(std::lround(std::floor(second * 1000 + 0.5)), 59999L);
    char text[32];
    int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02ld", year, rmc.month,
                               rmc.day, rmc.time.hour, rmc.time.minute, milliseconds / 1000);
    if (milliseconds % 1000 != 0) {
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                                ".%03ld", milliseconds % 1000);
    }
    return std::string(text, static_cast<std::size_t>(length)) + 'Z';
}

// Differential and PPS fixes only GGA tells; the dimension only GSA; "no fix" either.
std::string_view fix_of(const Epoch& epoch) {
    const int quality = epoch.gga ? epoch.gga->quality : -1;
    const int type = epoch.gsa ? epoch.gsa->fix_type : -1;
    if (quality == 2) {
        return "dgps";
    }
    if (quality == 3) {
        return "pps";
    }
    if (type == 3) {
        return "3d";
    }
    if (type == 2) {
        return "2d";
    }
    if (type == 1 || quality == 0) {
        return "none";
    }
    return {};
}

}  // namespace

std::optional<TrackPoint> track_point_of(const Epoch& epoch) {
    if (!epoch.rmc || epoch.rmc->status != 'A') {
        return std::nullopt;
    }
    const client::RMC& rmc = *epoch.rmc;
    const auto latitude =
        degrees(rmc.position.lat_deg, rmc.position.lat_min, rmc.position.lat_hemi, 'N', 'S', 90);
    auto longitude =
        degrees(rmc.position.lon_deg, rmc.position.lon_min, rmc.position.lon_hemi, 'E', 'W', 180);
    if (!latitude || !longitude) {
        return std::nullopt;
    }
    TrackPoint point;
    point.latitude = *latitude;
    // GPX's longitudes end before 180; it is the same meridian as -180.
    point.longitude = *longitude == 180 ? -180.0 : *longitude;
    point.time = iso_time(rmc);
    if (const auto speed = finite(rmc.speed)) {
        point.speed = rounded(*speed * metres_per_second_per_knot, 1e3);
    }
    point.course = finite(rmc.course);
    point.fix = fix_of(epoch);
    if (epoch.gga) {
        if (epoch.gga->altitude_unit == 'M') {
            point.elevation = finite(epoch.gga->altitude);
        }
        if (epoch.gga->satellites > 0) {
            point.satellites = epoch.gga->satellites;
        }
        point.hdop = dilution(epoch.gga->hdop);
    }
    if (epoch.gsa) {
        if (!point.hdop) {
            point.hdop = dilution(epoch.gsa->hdop);
        }
        point.vdop = dilution(epoch.gsa->vdop);
        point.pdop = dilution(epoch.gsa->pdop);
    }
    return point;
}

}  // namespace tarnwick::tools
