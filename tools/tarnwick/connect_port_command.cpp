#include <cstdio>

#include "platform/win32.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/message_format.h"
#include "tools/tarnwick/port_busy.h"
#include "tools/tarnwick/progress_output.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct ConnectPortOptions : ServiceOptions {
    std::string port;
    int baud = 0;
    bool quiet = false;
};

// Trying a port opens it, reads for up to 3 s and waits up to 5 s for a sentence.
constexpr std::chrono::seconds connect_limit{8};

std::string failure_hint(const ConnectPortOptions& options, std::uint32_t system_error) {
    switch (system_error) {
        case ERROR_ACCESS_DENIED:
            return "you may not open the port's device: add yourself to the dialout group "
                   "(sudo usermod -aG dialout $USER) and log in again";
        case ERROR_SHARING_VIOLATION:
            return port_busy_text_or_plain(wide(options.port)) + "; close that program first";
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "no such port: `tarnwick ports` lists the ports the service sees";
        // A probe that opened the port but decoded nothing sets no error of its own.
        case ERROR_SUCCESS:
        case ERROR_TIMEOUT:
        case ERROR_NOT_READY:
            return "no NMEA sentence came within 5 s at " + std::to_string(options.baud) +
                   " baud: try another rate, or let `tarnwick connect` scan every port and rate";
        default:
            return "the port could not be set up (system error " + std::to_string(system_error) +
                   "; TARNWICK_DEBUG=1 on the service traces why)";
    }
}

int run_connect_port(const ConnectPortOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("connect-port", options, client)) {
        return failed;
    }
    ProgressOutput progress(options.quiet, options.json);
    const std::string target = options.port.empty()
                                   ? std::string("the remembered port")
                                   : options.port + " at " + std::to_string(options.baud) + " baud";
    std::vector<client::Answer> answers;
    const auto error =
        wait_for_answer(progress, "connecting to " + target + ": waiting for a first NMEA sentence",
                        connect_limit, [&] {
                            return client->send(client::RequestBatch()
                                                    .connect_port(wide(options.port), options.baud)
                                                    .get_connection()
                                                    .get_input_mode(),
                                                answers);
                        });
    if (error != client::ClientError::none) {
        return report_error("connect-port", error);
    }
    const client::Answer& result = answers[0];
    const client::Answer& connection = answers[1];
    const std::int32_t mode = answers[2].result;
    if (options.json) {
        std::string text;
        tools::JsonWriter json(text);
        json.begin_object();
        json.key("connected").boolean(result.result == 1);
        if (result.result == 1) {
            json.key("port").string(narrow(connection.port));
            json.key("baud").integer(connection.baud);
            write_input_mode(json.key("input"), mode);
        } else {
            json.key("system_error").integer(result.system_error);
        }
        json.end_object();
        std::printf("%s\n", text.c_str());
    }
    if (result.result != 1) {
        const std::uint32_t e = result.system_error;
        if (e == ERROR_SUCCESS || e == ERROR_TIMEOUT || e == ERROR_NOT_READY) {
            suggest_gnss_setting();
        }
        return fail("connect-port", failure_hint(options, result.system_error),
                    exit_request_failed);
    }
    if (!options.json) {
        // The service keeps an open input as it is, whatever port was asked for.
        if (connection.result == 1) {
            std::printf("connected to %s at %d baud\n", narrow(connection.port).c_str(),
                        connection.baud);
        } else {
            std::printf("an input is already open (%s): tarnwick disconnect first to change it\n",
                        input_mode_text(mode).c_str());
        }
    }
    return exit_ok;
}

}  // namespace

void add_connect_port_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ConnectPortOptions>();
    CLI::App* command = add_service_command(
        app, "connect-port", "Connect to one port at one baud rate and remember it",
        "tarnwick connect-port COM1: 4800\n"
        "  tarnwick connect-port \"\" 0        # the remembered port and rate\n"
        "`tarnwick ports` lists the ports; `tarnwick connect` finds the rate.",
        *options, true);
    command->add_option("NAME", options->port, "port name, e.g. COM1:")->required();
    command->add_option("BAUD", options->baud, "baud rate, e.g. 4800")->required();
    command->add_flag("-q,--quiet", options->quiet, "no progress, only the result");
    command->callback([options, &exit_code] { exit_code = run_connect_port(*options); });
}

}  // namespace tarnwick::cli
