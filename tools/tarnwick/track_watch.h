#pragma once
// `tarnwick watch --format gpx|geojson`: the data stream's valid fixes as a track log on
// standard output, each point written as soon as its epoch ends. A stop signal, --seconds,
// --count (of points) or a failing stream all end it with a closed document.

#include <cstdint>

#include "client/client.h"
#include "platform/stop_signals.h"
#include "tools/common/track_document.h"

namespace tarnwick::cli {

struct TrackWatchOptions {
    tools::TrackFormat format = tools::TrackFormat::Gpx;
    std::uint64_t points = 0;  // 0: no limit
    double seconds = 0;        // 0: no limit
};

// The exit status, as the other subcommands'.
int run_track_watch(client::Client& client, const TrackWatchOptions& options,
                    platform::StopSignals& stops);

}  // namespace tarnwick::cli
