#include "tools/common/geojson_track.h"

#include "tools/common/json_writer.h"

namespace tarnwick::tools {
namespace {

void write_position(JsonWriter& json, double longitude, double latitude) {
    json.begin_array();
    json.number(longitude);
    json.number(latitude);
    json.end_array();
}

}  // namespace

void GeoJsonTrack::begin(std::string& out) {
    out.append("{\"type\":\"FeatureCollection\",\"features\":[\n");
}

void GeoJsonTrack::point(std::string& out, const TrackPoint& point) {
    if (!line_.empty()) {
        out.append(",\n");
    }
    line_.emplace_back(point.longitude, point.latitude);
    {
        JsonWriter json(out);
        json.begin_object();
        json.key("type").string("Feature");
        json.key("geometry").begin_object();
        json.key("type").string("Point");
        write_position(json.key("coordinates"), point.longitude, point.latitude);
        json.end_object();
        json.key("properties").begin_object();
        if (!point.time.empty()) {
            json.key("time").string(point.time);
        }
        if (point.elevation) {
            json.key("ele").number(*point.elevation);
        }
        if (point.speed) {
            json.key("speed").number(*point.speed);
        }
        if (point.course) {
            json.key("course").number(*point.course);
        }
        if (!point.fix.empty()) {
            json.key("fix").string(point.fix);
        }
        if (point.satellites) {
            json.key("sat").integer(*point.satellites);
        }
        if (point.hdop) {
            json.key("hdop").number(*point.hdop);
        }
        if (point.vdop) {
            json.key("vdop").number(*point.vdop);
        }
        if (point.pdop) {
            json.key("pdop").number(*point.pdop);
        }
        json.end_object();
        json.end_object();
    }
}

void GeoJsonTrack::end(std::string& out) {
    if (line_.size() >= 2) {
        out.append(",\n");
        JsonWriter json(out);
        json.begin_object();
        json.key("type").string("Feature");
        json.key("geometry").begin_object();
        json.key("type").string("LineString");
        json.key("coordinates").begin_array();
        for (const auto& [longitude, latitude] : line_) {
            write_position(json, longitude, latitude);
        }
        json.end_array();
        json.end_object();
        json.key("properties").begin_object();
        json.end_object();
        json.end_object();
    }
    out.append("\n]}\n");
}

}  // namespace tarnwick::tools
