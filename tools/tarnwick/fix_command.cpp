#include <cstdio>

#include "tools/common/record_json.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/message_format.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

int run_fix(const ServiceOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("fix", options, client)) {
        return failed;
    }
    std::optional<client::RMC> fix;
    if (const auto error = client->get_valid_rmc(fix); error != client::ClientError::none) {
        return report_error("fix", error);
    }
    if (options.json) {
        std::string text;
        tools::JsonWriter json(text);
        json.begin_object();
        if (fix) {
            tools::write_record(json.key("fix"), *fix);
        } else {
            json.key("fix").null();
        }
        json.end_object();
        std::printf("%s\n", text.c_str());
    } else if (fix) {
        std::printf("%s\n", fix_text(*fix).c_str());
    }
    if (!fix) {
        return fail("fix",
                    "no valid fix stored yet: the receiver needs an open sky for a while "
                    "(`tarnwick status` shows the input)",
                    exit_request_failed);
    }
    return exit_ok;
}

}  // namespace

void add_fix_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ServiceOptions>();
    CLI::App* command = add_service_command(
        app, "fix", "Show the last valid fix (RMC)",
        "tarnwick fix\n  tarnwick fix --json   # the whole RMC record", *options, true);
    command->callback([options, &exit_code] { exit_code = run_fix(*options); });
}

}  // namespace tarnwick::cli
