#include <cstdio>

#include "tools/common/record_json.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/message_format.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

int run_status(const ServiceOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("status", options, client)) {
        return failed;
    }
    // One transaction, so that the four answers describe the same moment.
    std::vector<client::Answer> answers;
    const client::ClientError error = client->send(client::RequestBatch()
                                                       .get_input_mode()
                                                       .get_connection()
                                                       .get_time_stamp_mode()
                                                       .get_valid_rmc(),
                                                   answers);
    if (error != client::ClientError::none) {
        return report_error("status", error);
    }
    const client::Answer& mode = answers[0];
    const client::Answer& connection = answers[1];
    const bool tstamp = answers[2].result == 1;
    const client::Answer& fix = answers[3];
    if (options.json) {
        std::string text;
        tools::JsonWriter json(text);
        json.begin_object();
        write_input_mode(json.key("input"), mode.result);
        if (connection.result == 1) {
            json.key("connection").begin_object();
            json.key("port").string(narrow(connection.port));
            json.key("baud").integer(connection.baud);
            json.end_object();
        } else {
            json.key("connection").null();
        }
        json.key("tstamp").boolean(tstamp);
        if (fix.fix) {
            tools::write_record(json.key("fix"), *fix.fix);
        } else {
            json.key("fix").null();
        }
        json.end_object();
        std::printf("%s\n", text.c_str());
        return exit_ok;
    }
    std::printf("input:       %s\n", input_mode_text(mode.result).c_str());
    if (connection.result == 1) {
        std::printf("connection:  %s at %d baud\n", narrow(connection.port).c_str(),
                    connection.baud);
    } else {
        std::printf("connection:  none (no serial port, or recording)\n");
    }
    std::printf("time stamps: %s\n", tstamp ? "on" : "off");
    std::printf("last fix:    %s\n", fix.fix ? fix_text(*fix.fix).c_str() : "none yet");
    return exit_ok;
}

}  // namespace

void add_status_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ServiceOptions>();
    CLI::App* command =
        add_service_command(app, "status", "Show the input, the connection and the last fix",
                            "tarnwick status\n  tarnwick status --json --no-start   # exit 3 when "
                            "the service is not running",
                            *options, true);
    command->callback([options, &exit_code] { exit_code = run_status(*options); });
}

}  // namespace tarnwick::cli
