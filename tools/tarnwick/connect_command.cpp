#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "client/watcher.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct ConnectOptions : ServiceOptions {
    bool parallel = false;
};

// A scan probes every port at five rates for up to 5 s each; a port that stays silent longer
// than this between two events means the service is gone.
constexpr std::chrono::seconds scan_silence_limit{60};

void print_progress(const client::ScanEvent& scan) {
    const std::string port = narrow(scan.port);
    switch (scan.code) {
        case client::scan_start_port_scan:
            std::printf("probing %s\n", port.c_str());
            break;
        case client::scan_start_try_baud_rate:
            std::printf("  %s at %d baud ...\n", port.c_str(), scan.value);
            break;
        case client::scan_end_try_baud_rate:
            std::printf("  %s at %d baud: %s\n", port.c_str(), std::abs(scan.value),
                        scan.value > 0 ? "a receiver answered" : "no answer");
            break;
        case client::scan_create_file_failed:
            std::printf("  %s cannot be opened\n", port.c_str());
            break;
        default:
            break;
    }
    std::fflush(stdout);
}

void print_table(const std::vector<client::ScanPortRates>& found) {
    if (found.empty()) {
        std::printf("no receiver found on any port\n");
        return;
    }
    std::printf("\n%-8s %s\n", "port", "baud rates where a receiver answered");
    for (const client::ScanPortRates& port : found) {
        std::string rates;
        for (const std::int32_t rate : port.rates) {
            rates += (rates.empty() ? "" : " ") + std::to_string(rate);
        }
        std::printf("%-8s %s\n", narrow(port.port).c_str(), rates.c_str());
    }
    std::printf("\nconnect with: tarnwick connect-port %s %d\n", narrow(found[0].port).c_str(),
                found[0].rates.front());
}

nlohmann::ordered_json table_json(const std::vector<client::ScanPortRates>& found) {
    nlohmann::ordered_json ports = nlohmann::ordered_json::array();
    for (const client::ScanPortRates& port : found) {
        ports.push_back({{"port", narrow(port.port)}, {"rates", port.rates}});
    }
    return ports;
}

int run_connect(const ConnectOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("connect", options, client)) {
        return failed;
    }
    // Watch before asking, so that no event of the scan passes unseen.
    std::unique_ptr<client::Watcher> watcher;
    if (const auto error = client::Watcher::open(*client, watcher);
        error != client::ClientError::none) {
        return report_error("connect", error);
    }
    client::PortConnection connection;
    if (const auto error = client->connect(options.parallel, connection);
        error != client::ClientError::none) {
        return report_error("connect", error);
    }
    if (connection.connected) {
        if (options.json) {
            std::printf("%s\n", nlohmann::ordered_json{{"connected", true},
                                                       {"port", narrow(connection.port)},
                                                       {"baud", connection.baud}}
                                    .dump()
                                    .c_str());
        } else {
            std::printf("connected to %s at %d baud (the remembered port)\n",
                        narrow(connection.port).c_str(), connection.baud);
        }
        return exit_ok;
    }
    if (!options.json) {
        std::printf("the remembered port does not answer: scanning every port %s\n",
                    options.parallel ? "at once" : "one after another");
        std::fflush(stdout);
    }
    for (;;) {
        client::StreamMessage message;
        std::uint64_t lost = 0;
        const auto error = watcher->next(scan_silence_limit, message, lost);
        if (error != client::ClientError::none) {
            return report_error("connect", error);
        }
        if (message.id != client::scan_event_id) {
            continue;
        }
        if (message.scan.code != client::scan_end) {
            if (!options.json) {
                print_progress(message.scan);
            }
            continue;
        }
        if (options.json) {
            std::printf("%s\n", nlohmann::ordered_json{{"connected", false},
                                                       {"found", table_json(message.scan.summary)}}
                                    .dump()
                                    .c_str());
        } else {
            print_table(message.scan.summary);
        }
        return message.scan.summary.empty() ? exit_request_failed : exit_ok;
    }
}

}  // namespace

void add_connect_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ConnectOptions>();
    CLI::App* command = add_service_command(
        app, "connect",
        "Connect to the remembered port, or scan every port and rate and show what answers",
        "tarnwick connect --parallel", *options, true);
    command->add_flag("--parallel", options->parallel, "probe all ports at once");
    command->callback([options, &exit_code] { exit_code = run_connect(*options); });
}

}  // namespace tarnwick::cli
