#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct OpenFileOptions : ServiceOptions {
    std::string file;
    bool loop = false;
    float speed = 1.0F;
};

int run_open_file(const OpenFileOptions& options) {
    if (!std::ifstream(options.file, std::ios::binary)) {
        return fail("open-file",
                    "cannot read " + options.file + ": check the path and its permissions",
                    exit_usage);
    }
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("open-file", options, client)) {
        return failed;
    }
    const std::wstring path = absolute_path(options.file);
    bool opened = false;
    if (const auto error = client->open_file(path, options.loop, options.speed, opened);
        error != client::ClientError::none) {
        return report_error("open-file", error);
    }
    if (options.json) {
        std::printf(
            "%s\n",
            nlohmann::ordered_json{{"opened", opened}, {"file", narrow(path)}}.dump().c_str());
    }
    if (!opened) {
        const std::string busy = input_already_open(*client);
        return fail("open-file",
                    !busy.empty() ? busy
                                  : "the service could not open " + narrow(path) +
                                        " (an empty file cannot be replayed)",
                    exit_request_failed);
    }
    if (!options.json) {
        std::printf("replaying %s%s\n", narrow(path).c_str(), options.loop ? " in a loop" : "");
    }
    return exit_ok;
}

}  // namespace

void add_open_file_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<OpenFileOptions>();
    CLI::App* command = add_service_command(
        app, "open-file", "Replay a recorded NMEA file as the input",
        "tarnwick open-file data/sample-track.nmea --loop --speed 2\n"
        "  tarnwick record start drive.nmea; sleep 60; tarnwick record stop; tarnwick disconnect\n"
        "  tarnwick open-file drive.nmea     # the recording, replayed as it came",
        *options, true);
    command->add_option("FILE", options->file, "the NMEA file")->required();
    command->add_flag("--loop", options->loop, "start again at the end of the file");
    command->add_option("--speed", options->speed, "replay pace (1 = as recorded)")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    command->callback([options, &exit_code] { exit_code = run_open_file(*options); });
}

}  // namespace tarnwick::cli
