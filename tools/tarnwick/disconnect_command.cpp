#include <cstdio>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

int run_disconnect(const ServiceOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("disconnect", options, client)) {
        return failed;
    }
    if (const auto error = client->disconnect(); error != client::ClientError::none) {
        return report_error("disconnect", error);
    }
    std::printf("disconnected: no input is open and reconnection has stopped\n");
    return exit_ok;
}

}  // namespace

void add_disconnect_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ServiceOptions>();
    CLI::App* command =
        add_service_command(app, "disconnect", "Close the current input and stop reconnecting",
                            "tarnwick disconnect; tarnwick open-file drive.nmea", *options, false);
    command->callback([options, &exit_code] { exit_code = run_disconnect(*options); });
}

}  // namespace tarnwick::cli
