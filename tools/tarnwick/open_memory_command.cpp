#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct OpenMemoryOptions : ServiceOptions {
    std::string name;
};

// The service waits up to 60 s for the producer's first data; the answer comes after that.
constexpr double producer_wait_seconds = 60;

int run_open_memory(OpenMemoryOptions options) {
    options.timeout_seconds = std::max(options.timeout_seconds, producer_wait_seconds + 15);
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("open-memory", options, client)) {
        return failed;
    }
    if (!options.json) {
        std::fprintf(stderr, "waiting up to 60 s for the producer \"%s\" to publish NMEA\n",
                     options.name.c_str());
    }
    bool opened = false;
    if (const auto error = client->open_memory(wide(options.name), opened);
        error != client::ClientError::none) {
        return report_error("open-memory", error);
    }
    if (options.json) {
        std::printf(
            "%s\n",
            nlohmann::ordered_json{{"opened", opened}, {"name", options.name}}.dump().c_str());
    }
    if (!opened) {
        return fail("open-memory",
                    "the producer \"" + options.name +
                        "\" did not publish in time, or an input is already open",
                    exit_request_failed);
    }
    if (!options.json) {
        std::printf("reading NMEA from the producer \"%s\"\n", options.name.c_str());
    }
    return exit_ok;
}

}  // namespace

void add_open_memory_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<OpenMemoryOptions>();
    CLI::App* command = add_service_command(
        app, "open-memory", "Take NMEA from another process's shared memory",
        "tarnwick open-memory SIMNMEA   (with tarnwick-sim memory SIMNMEA running)", *options,
        true);
    command->add_option("NAME", options->name, "the producer's shared-memory name")->required();
    command->callback([options, &exit_code] { exit_code = run_open_memory(*options); });
}

}  // namespace tarnwick::cli
