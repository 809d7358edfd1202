#include <cstdio>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct RestartOptions : ServiceOptions {
    bool cold = false;
    bool warm = false;
};

int run_restart(const RestartOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("restart", options, client)) {
        return failed;
    }
    if (const auto error = client->restart_receiver(options.cold);
        error != client::ClientError::none) {
        return report_error("restart", error);
    }
    // The service answers 1 whatever happened: a file or memory input sends nothing.
    std::printf("%s start sent to the receiver (a serial input only)\n",
                options.cold ? "cold" : "warm");
    return exit_ok;
}

}  // namespace

void add_restart_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<RestartOptions>();
    CLI::App* command =
        add_service_command(app, "restart", "Restart the receiver cold or warm",
                            "tarnwick restart --warm\n"
                            "  tarnwick restart --cold   # then minutes to a new fix",
                            *options, false);
    CLI::Option* cold = command->add_flag("--cold", options->cold, "forget everything (slow fix)");
    CLI::Option* warm = command->add_flag("--warm", options->warm, "keep the almanac");
    cold->excludes(warm);
    command->callback([options, &exit_code] {
        if (!options->cold && !options->warm) {
            exit_code = fail("restart", "say --cold or --warm", exit_usage);
            return;
        }
        exit_code = run_restart(*options);
    });
}

}  // namespace tarnwick::cli
