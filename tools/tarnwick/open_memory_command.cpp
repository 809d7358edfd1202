#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/progress_output.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct OpenMemoryOptions : ServiceOptions {
    std::string name;
    bool quiet = false;
};

// The service waits up to 60 s for the producer's first data; the answer comes after that.
constexpr std::chrono::seconds producer_limit{60};

int run_open_memory(OpenMemoryOptions options) {
    options.timeout_seconds =
        std::max(options.timeout_seconds, static_cast<double>(producer_limit.count() + 15));
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("open-memory", options, client)) {
        return failed;
    }
    ProgressOutput progress(options.quiet, options.json);
    bool opened = false;
    if (const auto error = wait_for_answer(
            progress, "waiting for the producer \"" + options.name + "\" to publish NMEA",
            producer_limit, [&] { return client->open_memory(wide(options.name), opened); });
        error != client::ClientError::none) {
        return report_error("open-memory", error);
    }
    if (options.json) {
        std::printf(
            "%s\n",
            nlohmann::ordered_json{{"opened", opened}, {"name", options.name}}.dump().c_str());
    }
    if (!opened) {
        const std::string busy = input_already_open(*client);
        return fail("open-memory",
                    !busy.empty() ? busy
                                  : "the producer \"" + options.name +
                                        "\" is not running, or published no NMEA within 60 s "
                                        "(`tarnwick-sim memory " +
                                        options.name + "` is one)",
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
        "tarnwick open-memory SIMNMEA   # with `tarnwick-sim memory SIMNMEA` running\n"
        "The producer publishes NAME_DataReady_map, NAME_DataGuard_mutex and "
        "NAME_DataReady_event.",
        *options, true);
    command->add_option("NAME", options->name, "the producer's shared-memory name")->required();
    command->add_flag("-q,--quiet", options->quiet, "no progress, only the result");
    command->callback([options, &exit_code] { exit_code = run_open_memory(*options); });
}

}  // namespace tarnwick::cli
