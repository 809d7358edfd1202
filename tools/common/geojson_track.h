#pragma once
// A track as GeoJSON (RFC 7946): a FeatureCollection holding one Point feature per point, with
// the point's time, ele, speed (m/s), course, fix, sat, hdop, vdop and pdop as properties
// (absent ones left out), and last, once the track has two points or more, one LineString
// feature through all of them. Coordinates are [longitude, latitude]; the elevation is a
// property, so that every position has the same two members. Each feature is a line of its own.

#include <string>
#include <utility>
#include <vector>

#include "tools/common/track_document.h"

namespace tarnwick::tools {

class GeoJsonTrack final : public TrackDocument {
  public:
    void begin(std::string& out) override;
    void point(std::string& out, const TrackPoint& point) override;
    void end(std::string& out) override;

  private:
    // Longitude and latitude of every point so far, for the LineString.
    std::vector<std::pair<double, double>> line_;
};

}  // namespace tarnwick::tools
