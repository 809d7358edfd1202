#include <cstdio>
#include <nlohmann/json.hpp>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

int run_ports(const ServiceOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("ports", options, client)) {
        return failed;
    }
    std::vector<std::wstring> ports;
    if (const client::ClientError error = client->enum_ports(ports);
        error != client::ClientError::none) {
        return report_error("ports", error);
    }
    if (options.json) {
        nlohmann::ordered_json names = nlohmann::ordered_json::array();
        for (const std::wstring& port : ports) {
            names.push_back(narrow(port));
        }
        std::printf("%s\n", nlohmann::ordered_json{{"ports", names}}.dump().c_str());
        return exit_ok;
    }
    if (ports.empty()) {
        std::fprintf(stderr,
                     "no serial ports: plug in the receiver, or run a simulated one with "
                     "`tarnwick-sim serial`\n");
    }
    for (const std::wstring& port : ports) {
        std::printf("%s\n", narrow(port).c_str());
    }
    return exit_ok;
}

}  // namespace

void add_ports_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ServiceOptions>();
    CLI::App* command = add_service_command(app, "ports", "List the serial ports the service sees",
                                            "tarnwick ports\n"
                                            "Names map to devices in ports.map of the state "
                                            "directory (docs/running.md).",
                                            *options, true);
    command->callback([options, &exit_code] { exit_code = run_ports(*options); });
}

}  // namespace tarnwick::cli
