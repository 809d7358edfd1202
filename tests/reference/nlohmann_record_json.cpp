#include "tests/reference/nlohmann_record_json.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <variant>

#include "nmea/message_id.h"
#include "nmea/satellite_system.h"

namespace tarnwick::reference {
namespace {

using json = nlohmann::ordered_json;

// A single-precision value as the shortest decimal that reads back as the same float, so that
// 0.1f prints as 0.1 rather than as the double nearest to it. JSON has no NaN or infinity:
// they render as null.
json real(float value) {
    if (!std::isfinite(value)) {
        return nullptr;
    }
    char text[32];
    const auto written = std::to_chars(std::begin(text), std::end(text), value);
    double widened = value;
    std::from_chars(std::begin(text), written.ptr, widened);
    return widened;
}

// The NMEA character, or null when the sentence left it empty. Bytes above 127 are taken as
// Latin-1, so that any byte a noisy line carries still makes valid UTF-8.
json character(char value) {
    if (value == 0) {
        return nullptr;
    }
    const auto code = static_cast<unsigned char>(value);
    if (code < 0x80) {
        return std::string(1, value);
    }
    return std::string{static_cast<char>(0xC0 | (code >> 6)),
                       static_cast<char>(0x80 | (code & 0x3F))};
}

json time_of_day(const client::Time& time) {
    return {{"hour", time.hour}, {"minute", time.minute}, {"second", real(time.second)}};
}

json position(const client::Position& position) {
    return {{"lat_deg", position.lat_deg},
            {"lat_min", real(position.lat_min)},
            {"lat_hemi", character(position.lat_hemi)},
            {"lon_deg", position.lon_deg},
            {"lon_min", real(position.lon_min)},
            {"lon_hemi", character(position.lon_hemi)}};
}

void add_members(json& out, const client::GGA& r) {
    out["time"] = time_of_day(r.time);
    out["position"] = position(r.position);
    out["quality"] = r.quality;
    out["satellites"] = r.satellites;
    out["hdop"] = real(r.hdop);
    out["altitude"] = real(r.altitude);
    out["altitude_unit"] = character(r.altitude_unit);
    out["separation"] = real(r.separation);
    out["separation_unit"] = character(r.separation_unit);
    out["dgps_age"] = r.dgps_age;
    out["dgps_station"] = r.dgps_station;
}

void add_members(json& out, const client::GLL& r) {
    out["position"] = position(r.position);
    out["time"] = time_of_day(r.time);
    out["status"] = character(r.status);
}

void add_members(json& out, const client::GSA& r) {
    out["mode"] = character(r.mode);
    out["fix_type"] = r.fix_type;
    json prn = json::array();
    for (const std::uint8_t slot : r.prn) {
        prn.push_back(slot);
    }
    out["prn"] = std::move(prn);
    out["prn_count"] = r.prn_count;
    out["pdop"] = real(r.pdop);
    out["hdop"] = real(r.hdop);
    out["vdop"] = real(r.vdop);
}

void add_members(json& out, const client::GSV& r) {
    out["in_view"] = r.in_view;
    json satellites = json::array();
    for (const client::Satellite& satellite : r.satellites) {
        json entry = {{"prn", satellite.prn},
                      {"elevation", satellite.elevation},
                      {"azimuth", satellite.azimuth},
                      {"snr", satellite.snr}};
        // Only the GNSS mode tags satellites; without a tag the object is as it always was.
        if (satellite.tag != 0) {
            entry["system"] = nmea::satellite_system_name(satellite.tag >> 4);
            entry["signal"] = satellite.tag & 0x0F;
        }
        satellites.push_back(std::move(entry));
    }
    out["satellites"] = std::move(satellites);
}

void add_members(json& out, const client::GSASystems& r) {
    json systems = json::array();
    for (const std::uint8_t system : r.system) {
        systems.push_back(system == 0 ? json(nullptr) : json(nmea::satellite_system_name(system)));
    }
    out["systems"] = std::move(systems);
}

void add_members(json& out, const client::RMC& r) {
    out["time"] = time_of_day(r.time);
    out["status"] = character(r.status);
    out["position"] = position(r.position);
    out["speed"] = real(r.speed);
    out["course"] = real(r.course);
    out["day"] = r.day;
    out["month"] = r.month;
    out["year"] = r.year;
    out["variation"] = real(r.variation);
    out["variation_dir"] = character(r.variation_dir);
}

void add_members(json& out, const client::VTG& r) {
    out["course_true"] = real(r.course_true);
    out["course_true_ref"] = character(r.course_true_ref);
    out["course_magnetic"] = real(r.course_magnetic);
    out["course_magnetic_ref"] = character(r.course_magnetic_ref);
    out["speed_knots"] = real(r.speed_knots);
    out["speed_knots_unit"] = character(r.speed_knots_unit);
    out["speed_kmh"] = real(r.speed_kmh);
    out["speed_kmh_unit"] = character(r.speed_kmh_unit);
}

void add_members(json& out, const client::PORZA& r) {
    out["param1"] = r.param1;
    out["param2"] = r.param2;
    out["param3"] = r.param3;
}

void add_members(json& out, const client::PORZX& r) {
    out["param1"] = r.param1;
    out["receiver"] = r.receiver;
    out["param5"] = r.param5;
    out["param6"] = character(r.param6);
}

}  // namespace

json nlohmann_record_json(const client::Record& record) {
    json out;
    const std::int32_t id = client::record_id(record);
    out["id"] = id;
    out["type"] = message_type_name(id);
    std::visit([&out](const auto& r) { add_members(out, r); }, record);
    return out;
}

}  // namespace tarnwick::reference
