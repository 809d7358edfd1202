#include "tools/common/record_json.h"

#include <charconv>
#include <cmath>
#include <iterator>

#include "nmea/message_id.h"
#include "nmea/parser.h"
#include "nmea/satellite_system.h"

namespace tarnwick::tools {
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

json time_of_day(const CNMEATime& time) {
    return {{"hour", time.hour}, {"minute", time.minute}, {"second", real(time.second)}};
}

json position(const CNMEAPosition& position) {
    return {{"lat_deg", position.lat_deg},
            {"lat_min", real(position.lat_min)},
            {"lat_hemi", character(position.lat_hemi)},
            {"lon_deg", position.lon_deg},
            {"lon_min", real(position.lon_min)},
            {"lon_hemi", character(position.lon_hemi)}};
}

void add_members(json& out, const CGGARecord& r) {
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

void add_members(json& out, const CGLLRecord& r) {
    out["position"] = position(r.position);
    out["time"] = time_of_day(r.time);
    out["status"] = character(r.status);
}

void add_members(json& out, const CGSARecord& r) {
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

void add_members(json& out, const CGSVRecord& r) {
    out["in_view"] = r.in_view;
    json satellites = json::array();
    for (const CGSVSatellite& satellite : r.satellites) {
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

void add_members(json& out, const CGSASystemsRecord& r) {
    json systems = json::array();
    for (const std::uint8_t system : r.system) {
        systems.push_back(system == 0 ? json(nullptr) : json(nmea::satellite_system_name(system)));
    }
    out["systems"] = std::move(systems);
}

void add_members(json& out, const CRMCRecord& r) {
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

void add_members(json& out, const CVTGRecord& r) {
    out["course_true"] = real(r.course_true);
    out["course_true_ref"] = character(r.course_true_ref);
    out["course_magnetic"] = real(r.course_magnetic);
    out["course_magnetic_ref"] = character(r.course_magnetic_ref);
    out["speed_knots"] = real(r.speed_knots);
    out["speed_knots_unit"] = character(r.speed_knots_unit);
    out["speed_kmh"] = real(r.speed_kmh);
    out["speed_kmh_unit"] = character(r.speed_kmh_unit);
}

void add_members(json& out, const CPORZARecord& r) {
    out["param1"] = r.param1;
    out["param2"] = r.param2;
    out["param3"] = r.param3;
}

void add_members(json& out, const CPORZXRecord& r) {
    out["param1"] = r.param1;
    out["receiver"] = r.receiver;
    out["param5"] = r.param5;
    out["param6"] = character(r.param6);
}

template <class Record>
void add_record(json& out, const CNMEARecord& record) {
    add_members(out, static_cast<const Record&>(record));
}

}  // namespace

json record_to_json(int id, const CNMEARecord& record) {
    json out;
    out["id"] = id;
    const bool known = (id >= 0 && id < static_cast<int>(NMEAMessageId::None)) ||
                       id == static_cast<int>(NMEAMessageId::GSASystems);
    out["type"] = known ? json(message_type_name(id)) : json(nullptr);
    switch (static_cast<NMEAMessageId>(id)) {
        case NMEAMessageId::GGA:
            add_record<CGGARecord>(out, record);
            break;
        case NMEAMessageId::GLL:
            add_record<CGLLRecord>(out, record);
            break;
        case NMEAMessageId::GSA:
            add_record<CGSARecord>(out, record);
            break;
        case NMEAMessageId::GSV:
            add_record<CGSVRecord>(out, record);
            break;
        case NMEAMessageId::RMC:
            add_record<CRMCRecord>(out, record);
            break;
        case NMEAMessageId::VTG:
            add_record<CVTGRecord>(out, record);
            break;
        case NMEAMessageId::PORZA:
            add_record<CPORZARecord>(out, record);
            break;
        case NMEAMessageId::PORZX:
            add_record<CPORZXRecord>(out, record);
            break;
        case NMEAMessageId::GSASystems:
            add_record<CGSASystemsRecord>(out, record);
            break;
        default:
            break;
    }
    return out;
}

}  // namespace tarnwick::tools
