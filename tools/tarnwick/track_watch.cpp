#include "tools/tarnwick/track_watch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "client/watcher.h"
#include "tools/common/track_log.h"
#include "tools/tarnwick/service_command.h"

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
    using clock = std::chrono::steady_clock;
    const bool bounded = options.seconds > 0;
    const auto deadline =
        clock::now() + milliseconds(static_cast<long long>(options.seconds * 1000));
    std::string text;
    tools::TrackLog log(options.format, text, options.points);
    write_out(text);
    client::ClientError failed = client::ClientError::none;
    while (!stops.arrived()) {
        milliseconds wait = signal_check_period;
        if (bounded) {
            const auto left = std::chrono::ceil<milliseconds>(deadline - clock::now());
            if (left.count() <= 0) {
                break;
            }
            wait = std::min(wait, left);
        }
        client::StreamMessage message;
        std::uint64_t lost = 0;
        const auto error = watcher->next(wait, message, lost);
        if (lost != 0) {
            std::fprintf(stderr, "tarnwick watch: %llu messages lost (this watcher fell behind)\n",
                         static_cast<unsigned long long>(lost));
        }
        if (error == client::ClientError::timed_out) {
            continue;
        }
        if (error != client::ClientError::none) {
            failed = error;
            break;
        }
        if (message.record) {
            const bool more = log.add(*message.record);
            write_out(text);
            if (!more) {
                break;
            }
        }
    }
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
