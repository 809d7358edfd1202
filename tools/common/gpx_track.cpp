#include "tools/common/gpx_track.h"

#include <charconv>

#include "tools/common/json_number.h"

namespace tarnwick::tools {
namespace {

void append_decimal(std::string& out, double value) {
    char text[plain_number_max_length];
    out.append(text, write_plain_number(text, value));
}

// <name>value</name> on a line of its own, indented under the trkpt.
void append_element(std::string& out, const char* indent, const char* name, double value) {
    out.append(indent).append("<").append(name).append(">");
    append_decimal(out, value);
    out.append("</").append(name).append(">\n");
}

void append_element(std::string& out, const char* indent, const char* name,
                    const std::optional<double>& value) {
    if (value) {
        append_element(out, indent, name, *value);
    }
}

constexpr const char* inner = "    ";
constexpr const char* extension = "      ";

}  // namespace

void GpxTrack::begin(std::string& out) {
    out.append(
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"tarnwick\"\n"
           "     xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
           "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
           "     xmlns:tarnwick=\"")
        .append(gpx_namespace)
        .append(
            "\"\n"
            "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
            "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
            "<trk>\n"
            "<trkseg>\n");
}

void GpxTrack::point(std::string& out, const TrackPoint& point) {
    out.append("  <trkpt lat=\"");
    append_decimal(out, point.latitude);
    out.append("\" lon=\"");
    append_decimal(out, point.longitude);
    out.append("\">\n");
    append_element(out, inner, "ele", point.elevation);
    if (!point.time.empty()) {
        out.append(inner).append("<time>").append(point.time).append("</time>\n");
    }
    if (!point.fix.empty()) {
        out.append(inner).append("<fix>").append(point.fix).append("</fix>\n");
    }
    if (point.satellites) {
        char text[12];
        out.append(inner).append("<sat>");
        out.append(text, std::to_chars(text, text + sizeof text, *point.satellites).ptr);
        out.append("</sat>\n");
    }
    append_element(out, inner, "hdop", point.hdop);
    append_element(out, inner, "vdop", point.vdop);
    append_element(out, inner, "pdop", point.pdop);
    if (point.speed || point.course) {
        out.append(inner).append("<extensions>\n");
        append_element(out, extension, "tarnwick:speed", point.speed);
        append_element(out, extension, "tarnwick:course", point.course);
        out.append(inner).append("</extensions>\n");
    }
    out.append("  </trkpt>\n");
}

void GpxTrack::end(std::string& out) {
    out.append("</trkseg>\n</trk>\n</gpx>\n");
}

}  // namespace tarnwick::tools
