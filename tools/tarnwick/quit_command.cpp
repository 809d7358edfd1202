#include <chrono>
#include <cstdio>
#include <thread>

#include "client/service_launcher.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

int run_quit(const ServiceOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("quit", options, client, true)) {
        return failed;
    }
    if (const auto error = client->quit(); error != client::ClientError::none) {
        return report_error("quit", error);
    }
    // Quit has no answer: the start event going away is the sign that the service ended.
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(static_cast<long long>(options.timeout_seconds * 1000.0));
    while (client::service_running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return fail("quit", "the service has not stopped yet", exit_no_service);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("the service stopped\n");
    return exit_ok;
}

}  // namespace

void add_quit_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ServiceOptions>();
    CLI::App* command =
        add_service_command(app, "quit", "Stop the service (exit 3 when it is not running)",
                            "tarnwick quit\n"
                            "  systemctl --user stop tarnwickd   # when systemd runs it",
                            *options, false);
    command->callback([options, &exit_code] { exit_code = run_quit(*options); });
}

}  // namespace tarnwick::cli
