#include <signal.h>

#include <cstdio>
#include <optional>

#include "client/watcher.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/message_format.h"
#include "tools/tarnwick/service_command.h"
#include "tools/tarnwick/stream_follower.h"
#include "tools/tarnwick/track_watch.h"
#include "tools/tarnwick/view/live_view.h"

namespace tarnwick::cli {
namespace {

struct WatchOptions : ServiceOptions {
    std::string format = "text";
    long long count = 0;  // 0: no limit
    double seconds = 0;   // 0: no limit
    bool view = false;
};

std::string render(const std::string& format, const client::StreamMessage& message) {
    if (format == "json") {
        std::string line;
        append_message_json(line, message);
        return line;
    }
    if (format == "raw") {
        return message_raw(message);
    }
    return message_text(message);
}

int run_watch(const WatchOptions& options) {
    const bool track = options.format == "gpx" || options.format == "geojson";
    // A track must be closed however the log ends. The signals are blocked before the client
    // starts a thread, so that every thread leaves them to this one.
    std::optional<platform::StopSignals> stops;
    if (track) {
        stops.emplace(std::initializer_list<int>{SIGINT, SIGTERM, SIGHUP});
    }
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("watch", options, client)) {
        return failed;
    }
    if (track) {
        const TrackWatchOptions track_options{.format = options.format == "gpx"
                                                            ? tools::TrackFormat::Gpx
                                                            : tools::TrackFormat::GeoJson,
                                              .points = static_cast<std::uint64_t>(options.count),
                                              .seconds = options.seconds};
        return run_track_watch(*client, track_options, *stops);
    }
    if (options.view) {
        return view::run_live_view(std::move(client), {.seconds = options.seconds});
    }
    std::unique_ptr<client::Watcher> watcher;
    if (const auto error = client::Watcher::open(*client, watcher);
        error != client::ClientError::none) {
        return report_error("watch", error);
    }
    long long shown = 0;
    const auto error = follow_stream(
        *watcher, {.seconds = options.seconds}, [] { return false; },
        [&](const client::StreamMessage& message) {
            std::printf("%s\n", render(options.format, message).c_str());
            std::fflush(stdout);
            return options.count == 0 || ++shown < options.count;
        });
    if (error != client::ClientError::none) {
        return report_error("watch", error);
    }
    if (std::ferror(stdout)) {
        return fail("watch", "cannot write the messages", exit_request_failed);
    }
    return exit_ok;
}

}  // namespace

void add_watch_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<WatchOptions>();
    CLI::App* command = add_service_command(
        app, "watch",
        "Follow the data stream, as lines, JSON, a live view (--view) or a track log (GPX, "
        "GeoJSON)",
        "tarnwick watch --view\n  tarnwick watch --count 10 --format json\n"
        "  tarnwick watch --format gpx > drive.gpx   (Ctrl-C ends it with a closed document)",
        *options, false);
    CLI::Option* format =
        command
            ->add_option("--format", options->format,
                         "text: readable lines; json: one object per message; raw: \"<id> <hex>\" "
                         "as tarnwick decode --format raw; gpx, geojson: a track of the valid "
                         "fixes as tarnwick decode writes it, closed at the end however it comes "
                         "(Ctrl-C, SIGTERM, --seconds, --count)")
            ->check(CLI::IsMember({"text", "json", "raw", "gpx", "geojson"}))
            ->capture_default_str();
    CLI::Option* count = command
                             ->add_option("--count", options->count,
                                          "stop after N messages (gpx, geojson: N track "
                                          "points)")
                             ->check(CLI::NonNegativeNumber);
    command->add_option("--seconds", options->seconds, "stop after S seconds")
        ->check(CLI::NonNegativeNumber);
    command
        ->add_flag("--view", options->view,
                   "a live full-screen view: time, fix, position, speed, satellites with their "
                   "signal, the input and notifications (plain lines when not on a terminal; "
                   "Ctrl-C quits)")
        ->excludes(count)
        ->excludes(format);
    command->callback([options, &exit_code] { exit_code = run_watch(*options); });
}

}  // namespace tarnwick::cli
