#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "client/watcher.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/progress_output.h"
#include "tools/tarnwick/scan_report.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct ConnectOptions : ServiceOptions {
    bool parallel = false;
    bool quiet = false;
};

// Trying the remembered port opens it, reads for up to 3 s and waits up to 5 s for a sentence.
constexpr std::chrono::seconds remembered_port_limit{8};
// A scan probes every port at five rates for up to 8 s each; a port that stays silent longer
// than this between two events means the service is gone.
constexpr std::chrono::seconds scan_silence_limit{60};
constexpr std::chrono::seconds status_refresh{1};

int report_connected(const ConnectOptions& options, const client::PortConnection& connection) {
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

int report_scan(const ConnectOptions& options, const ScanReport& report,
                const std::vector<client::ScanPortRates>& found) {
    const std::vector<PortScanRow>& rows = report.rows();
    if (options.json) {
        nlohmann::ordered_json found_json = nlohmann::ordered_json::array();
        for (const client::ScanPortRates& port : found) {
            found_json.push_back({{"port", narrow(port.port)}, {"rates", port.rates}});
        }
        std::printf("%s\n", nlohmann::ordered_json{{"connected", false},
                                                   {"found", found_json},
                                                   {"ports", scan_table_json(rows)}}
                                .dump()
                                .c_str());
    } else if (!rows.empty()) {
        print_scan_table(stdout, rows);
    }
    std::fflush(stdout);
    // A port whose holder was named needs no guess about permissions.
    const bool some_cannot_open = std::any_of(rows.begin(), rows.end(), [](const PortScanRow& row) {
        return row.cannot_open && row.busy.empty();
    });
    if (some_cannot_open) {
        std::fprintf(stderr,
                     "a port that cannot be opened is in use, or you may not open it: add "
                     "yourself to the dialout group (sudo usermod -aG dialout $USER) and log in "
                     "again\n");
    }
    if (rows.empty()) {
        return fail("connect",
                    "the service sees no serial port: plug in the receiver, then check with "
                    "`tarnwick ports` (docs/running.md explains the port map)",
                    exit_request_failed);
    }
    if (found.empty()) {
        suggest_gnss_setting();
        return fail("connect",
                    "no receiver answered on any port: check that it is plugged in and powered, "
                    "then run tarnwick connect again",
                    exit_request_failed);
    }
    if (!options.json) {
        std::printf("\nconnect with: tarnwick connect-port %s %d\n", narrow(found[0].port).c_str(),
                    found[0].rates.front());
    }
    return exit_ok;
}

// Follows the scan the service started until its EndScan, showing each step as it comes.
int follow_scan(const ConnectOptions& options, client::Watcher& watcher, ProgressOutput& progress) {
    using clock = std::chrono::steady_clock;
    const auto started = clock::now();
    auto last_event = started;
    ScanReport report;
    for (;;) {
        client::StreamMessage message;
        std::uint64_t lost = 0;
        const auto error =
            watcher.next(progress.live() ? status_refresh : scan_silence_limit, message, lost);
        if (lost > 0) {
            progress.line("(" + std::to_string(lost) +
                          " messages were missed; the table relies on the service's summary)");
        }
        if (error == client::ClientError::timed_out) {
            if (clock::now() - last_event >= scan_silence_limit) {
                progress.clear_status();
                return fail("connect",
                            "the scan has said nothing for 60 s: is the service still running? "
                            "(tarnwick status --no-start)",
                            exit_no_service);
            }
            // Otherwise only the status line's clock moves.
        } else if (error != client::ClientError::none) {
            progress.clear_status();
            return report_error("connect", error);
        } else if (message.id == client::scan_event_id) {
            last_event = clock::now();
            if (message.scan.code == client::scan_end) {
                progress.clear_status();
                report.finish(message.scan.summary);
                return report_scan(options, report, message.scan.summary);
            }
            const ScanProgressLine line = report.add(message.scan);
            if (!line.text.empty() && !(line.transient && progress.live())) {
                progress.line(line.text);
            }
        }
        const std::string probing = report.probing_now();
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(clock::now() - started).count();
        progress.status("scanning" + (probing.empty() ? "" : ": " + probing) + " (" +
                        std::to_string(seconds) + " s)");
    }
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
    ProgressOutput progress(options.quiet, options.json);
    client::PortConnection connection;
    if (const auto error =
            wait_for_answer(progress, "trying the remembered port", remembered_port_limit,
                            [&] { return client->connect(options.parallel, connection); });
        error != client::ClientError::none) {
        return report_error("connect", error);
    }
    if (connection.connected) {
        return report_connected(options, connection);
    }
    progress.line(std::string("no remembered port answered: scanning every port ") +
                  (options.parallel ? "at once" : "one after another") +
                  " at 4800 to 57600 baud (up to 40 s a port)");
    return follow_scan(options, *watcher, progress);
}

}  // namespace

void add_connect_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ConnectOptions>();
    CLI::App* command = add_service_command(
        app, "connect", "Find the receiver: the remembered port, else a scan of every port",
        "tarnwick connect              # ports one after another, each step shown as it comes\n"
        "  tarnwick connect --parallel   # every port at once: as long as the slowest port\n"
        "  tarnwick connect --json > scan.json   # the progress goes to stderr\n"
        "A scan only finds the receiver; connect to it with what it found:\n"
        "  tarnwick connect-port COM1: 4800",
        *options, true);
    command->add_flag("--parallel", options->parallel, "probe all ports at once");
    command->add_flag("-q,--quiet", options->quiet, "no progress, only the result");
    command->callback([options, &exit_code] { exit_code = run_connect(*options); });
}

}  // namespace tarnwick::cli
