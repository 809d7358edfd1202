#pragma once
// A track written as it grows: the document's opening, one point after another, and the
// closing that makes it whole. Every call appends complete text, so what has reached the reader
// is always a prefix of the finished document.

#include <memory>
#include <string>

#include "tools/common/track_point.h"

namespace tarnwick::tools {

enum class TrackFormat {
    Gpx,      // GPX 1.1: one trk, one trkseg, one trkpt per point (gpx_track.h)
    GeoJson,  // a FeatureCollection: a Point feature per point, then the LineString
              // (geojson_track.h)
};

class TrackDocument {
  public:
    virtual ~TrackDocument() = default;
    virtual void begin(std::string& out) = 0;
    virtual void point(std::string& out, const TrackPoint& point) = 0;
    virtual void end(std::string& out) = 0;
};

std::unique_ptr<TrackDocument> make_track_document(TrackFormat format);

}  // namespace tarnwick::tools
