#include "tools/tarnwick/track_watch.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "client/watcher.h"
#include "tools/common/track_log.h"
#include "tools/tarnwick/service_command.h"
#include "tools/tarnwick/stream_follower.h"

namespace tarnwick::cli {
namespace {

using std::chrono::milliseconds;

// How soon a stop signal is seen while the stream is quiet.
constexpr milliseconds signal_check_period{200};

// Hands what has gathered to the reader at once: a live log is read while it grows.
void write_out(std::string& text) {
    if (!text.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        text.clear();
    }
}

}  // namespace

int run_track_watch(client::Client& client, const TrackWatchOptions& options,
                    platform::StopSignals& stops) {
    std::unique_ptr<client::Watcher> watcher;
    if (const auto error = client::Watcher::open(client, watcher);
        error != client::ClientError::none) {
        return report_error("watch", error);
    }
    std::string text;
    tools::TrackLog log(options.format, text, options.points);
    write_out(text);
    const client::ClientError failed = follow_stream(
        *watcher, {.seconds = options.seconds, .longest_wait = signal_check_period},
        [&stops] { return stops.arrived(); },
        [&](const client::StreamMessage& message) {
            if (!message.record) {
                return true;
            }
            const bool more = log.add(*message.record);
            write_out(text);
            return more;
        });
    // Whatever ended the log, what the reader has is a whole document.
    log.finish();
    write_out(text);
    if (failed != client::ClientError::none) {
        return report_error("watch", failed);
    }
    if (std::ferror(stdout)) {
        return fail("watch", "cannot write the track", exit_request_failed);
    }
    return exit_ok;
}

}  // namespace tarnwick::cli
