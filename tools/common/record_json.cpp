#include "tools/common/record_json.h"

#include <variant>

#include "nmea/message_id.h"
#include "nmea/satellite_system.h"

namespace tarnwick::tools {
namespace {

void write_time(JsonWriter& json, const client::Time& time) {
    json.begin_object();
    json.key("hour").integer(time.hour);
    json.key("minute").integer(time.minute);
    json.key("second").real(time.second);
    json.end_object();
}

void write_position(JsonWriter& json, const client::Position& position) {
    json.begin_object();
    json.key("lat_deg").integer(position.lat_deg);
    json.key("lat_min").real(position.lat_min);
    json.key("lat_hemi").character(position.lat_hemi);
    json.key("lon_deg").integer(position.lon_deg);
    json.key("lon_min").real(position.lon_min);
    json.key("lon_hemi").character(position.lon_hemi);
    json.end_object();
}

void write_members(JsonWriter& json, const client::GGA& r) {
    write_time(json.key("time"), r.time);
    write_position(json.key("position"), r.position);
    json.key("quality").integer(r.quality);
    json.key("satellites").integer(r.satellites);
    json.key("hdop").real(r.hdop);
    json.key("altitude").real(r.altitude);
    json.key("altitude_unit").character(r.altitude_unit);
    json.key("separation").real(r.separation);
    json.key("separation_unit").character(r.separation_unit);
    json.key("dgps_age").integer(r.dgps_age);
    json.key("dgps_station").integer(r.dgps_station);
}

void write_members(JsonWriter& json, const client::GLL& r) {
    write_position(json.key("position"), r.position);
    write_time(json.key("time"), r.time);
    json.key("status").character(r.status);
}

void write_members(JsonWriter& json, const client::GSA& r) {
    json.key("mode").character(r.mode);
    json.key("fix_type").integer(r.fix_type);
    json.key("prn").begin_array();
    for (const std::uint8_t slot : r.prn) {
        json.integer(slot);
    }
    json.end_array();
    json.key("prn_count").integer(r.prn_count);
    json.key("pdop").real(r.pdop);
    json.key("hdop").real(r.hdop);
    json.key("vdop").real(r.vdop);
}

void write_members(JsonWriter& json, const client::GSV& r) {
    json.key("in_view").integer(r.in_view);
    json.key("satellites").begin_array();
    for (const client::Satellite& satellite : r.satellites) {
        json.begin_object();
        json.key("prn").integer(satellite.prn);
        json.key("elevation").integer(satellite.elevation);
        json.key("azimuth").integer(satellite.azimuth);
        json.key("snr").integer(satellite.snr);
        // Only the GNSS mode tags satellites; without a tag the object is as it always was.
        if (satellite.tag != 0) {
            json.key("system").string(nmea::satellite_system_name(satellite.tag >> 4));
            json.key("signal").integer(satellite.tag & 0x0F);
        }
        json.end_object();
    }
    json.end_array();
}

void write_members(JsonWriter& json, const client::GSASystems& r) {
    json.key("systems").begin_array();
    for (const std::uint8_t system : r.system) {
        if (system == 0) {
            json.null();
        } else {
            json.string(nmea::satellite_system_name(system));
        }
    }
    json.end_array();
}

void write_members(JsonWriter& json, const client::RMC& r) {
    write_time(json.key("time"), r.time);
    json.key("status").character(r.status);
    write_position(json.key("position"), r.position);
    json.key("speed").real(r.speed);
    json.key("course").real(r.course);
    json.key("day").integer(r.day);
    json.key("month").integer(r.month);
    json.key("year").integer(r.year);
    json.key("variation").real(r.variation);
    json.key("variation_dir").character(r.variation_dir);
}

void write_members(JsonWriter& json, const client::VTG& r) {
    json.key("course_true").real(r.course_true);
    json.key("course_true_ref").character(r.course_true_ref);
    json.key("course_magnetic").real(r.course_magnetic);
    json.key("course_magnetic_ref").character(r.course_magnetic_ref);
    json.key("speed_knots").real(r.speed_knots);
    json.key("speed_knots_unit").character(r.speed_knots_unit);
    json.key("speed_kmh").real(r.speed_kmh);
    json.key("speed_kmh_unit").character(r.speed_kmh_unit);
}

void write_members(JsonWriter& json, const client::PORZA& r) {
    json.key("param1").integer(r.param1);
    json.key("param2").integer(r.param2);
    json.key("param3").integer(r.param3);
}

void write_members(JsonWriter& json, const client::PORZX& r) {
    json.key("param1").integer(r.param1);
    json.key("receiver").integer(r.receiver);
    json.key("param5").integer(r.param5);
    json.key("param6").character(r.param6);
}

}  // namespace

void write_record_members(JsonWriter& json, const client::Record& record) {
    const std::int32_t id = client::record_id(record);
    json.key("id").integer(id);
    json.key("type").string(message_type_name(id));
    std::visit([&json](const auto& r) { write_members(json, r); }, record);
}

void write_record(JsonWriter& json, const client::Record& record) {
    json.begin_object();
    write_record_members(json, record);
    json.end_object();
}

void append_record_json(std::string& out, const client::Record& record) {
    JsonWriter json(out);
    write_record(json, record);
}

}  // namespace tarnwick::tools
