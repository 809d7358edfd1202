#pragma once
// A track as GPX 1.1. Each point is a trkpt with, where the epoch gave them and in the schema's
// order: ele, time, fix, sat, hdop, vdop, pdop; then speed (m/s) and course (degrees true),
// which GPX 1.1 has no elements for, in <extensions> under the namespace gpx_namespace.

#include <string>

#include "tools/common/track_document.h"

namespace tarnwick::tools {

inline constexpr const char* gpx_namespace = "urn:tarnwick:gpx:1";

class GpxTrack final : public TrackDocument {
  public:
    void begin(std::string& out) override;
    void point(std::string& out, const TrackPoint& point) override;
    void end(std::string& out) override;
};

}  // namespace tarnwick::tools
