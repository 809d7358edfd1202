#include "tools/common/track_document.h"

#include "tools/common/geojson_track.h"
#include "tools/common/gpx_track.h"

namespace tarnwick::tools {

std::unique_ptr<TrackDocument> make_track_document(TrackFormat format) {
    if (format == TrackFormat::GeoJson) {
        return std::make_unique<GeoJsonTrack>();
    }
    return std::make_unique<GpxTrack>();
}

}  // namespace tarnwick::tools
