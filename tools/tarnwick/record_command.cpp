#include <cstdio>

#include "client/protocol_codes.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct RecordOptions : ServiceOptions {
    std::string file;
};

// The service answers only 0; the input mode tells the likely reason.
std::string refusal_reason(client::Client& client, const std::wstring& path) {
    std::int32_t mode = 0;
    if (client.get_input_mode(mode) == client::ClientError::none) {
        if (mode == 0) {
            return "no input is open: connect first (tarnwick connect, connect-port, open-file "
                   "or open-memory)";
        }
        if ((mode & client::input_recording) != 0) {
            return "a recording is already running: stop it with `tarnwick record stop` first";
        }
    }
    return narrow(path) + " cannot be written: check its folder and permissions";
}

int run_record_start(const RecordOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("record start", options, client)) {
        return failed;
    }
    const std::wstring path = absolute_path(options.file);
    bool started = false;
    if (const auto error = client->start_write(path, started); error != client::ClientError::none) {
        return report_error("record start", error);
    }
    if (!started) {
        return fail("record start", refusal_reason(*client, path), exit_request_failed);
    }
    std::printf("recording the incoming NMEA into %s\n", narrow(path).c_str());
    return exit_ok;
}

int run_record_stop(const ServiceOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("record stop", options, client)) {
        return failed;
    }
    bool had_input = false;
    if (const auto error = client->stop_write(had_input); error != client::ClientError::none) {
        return report_error("record stop", error);
    }
    if (!had_input) {
        return fail("record stop", "no input is open, so nothing was recording",
                    exit_request_failed);
    }
    std::printf("recording stopped\n");
    return exit_ok;
}

}  // namespace

void add_record_command(CLI::App& app, int& exit_code) {
    CLI::App* record = app.add_subcommand("record", "Record the incoming NMEA into a file");
    record->footer("Example:\n  tarnwick record start drive.nmea; sleep 60; tarnwick record stop");
    record->require_subcommand(1);

    auto start = std::make_shared<RecordOptions>();
    CLI::App* start_command =
        add_service_command(*record, "start", "Start recording into FILE",
                            "tarnwick record start drive.nmea", *start, false);
    start_command->add_option("FILE", start->file, "the file to write")->required();
    start_command->callback([start, &exit_code] { exit_code = run_record_start(*start); });

    auto stop = std::make_shared<ServiceOptions>();
    CLI::App* stop_command = add_service_command(*record, "stop", "Stop recording",
                                                 "tarnwick record stop", *stop, false);
    stop_command->callback([stop, &exit_code] { exit_code = run_record_stop(*stop); });
}

}  // namespace tarnwick::cli
