#include <cstdio>
#include <nlohmann/json.hpp>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct ReceiverSetOptions : ServiceOptions {
    int value = 0;
};

int print_value(const std::string& command, const ServiceOptions& options, std::int32_t value) {
    if (options.json) {
        std::printf("%s\n", nlohmann::ordered_json{{"receiver", value}}.dump().c_str());
    } else {
        std::printf("%d\n", value);
    }
    // 0 is what the service answers when there is no serial receiver or it did not reply.
    if (value == 0) {
        return fail(
            command,
            "no answer from a receiver: only a receiver on a serial input answers, within 30 s "
            "(`tarnwick status` shows the input)",
            exit_request_failed);
    }
    return exit_ok;
}

int run_get(const ServiceOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("receiver get", options, client)) {
        return failed;
    }
    std::int32_t value = 0;
    if (const auto error = client->get_receiver(value); error != client::ClientError::none) {
        return report_error("receiver get", error);
    }
    return print_value("receiver get", options, value);
}

int run_set(const ReceiverSetOptions& options) {
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("receiver set", options, client)) {
        return failed;
    }
    std::int32_t value = 0;
    if (const auto error = client->set_receiver(options.value, value);
        error != client::ClientError::none) {
        return report_error("receiver set", error);
    }
    return print_value("receiver set", options, value);
}

}  // namespace

void add_receiver_command(CLI::App& app, int& exit_code) {
    CLI::App* receiver =
        app.add_subcommand("receiver", "Read or change the receiver's proprietary setting");
    receiver->footer("Example:\n  tarnwick receiver get; tarnwick receiver set 2");
    receiver->require_subcommand(1);

    auto get = std::make_shared<ServiceOptions>();
    add_service_command(*receiver, "get", "Query the receiver's setting (PORZX)",
                        "tarnwick receiver get", *get, true)
        ->callback([get, &exit_code] { exit_code = run_get(*get); });

    auto set = std::make_shared<ReceiverSetOptions>();
    CLI::App* set_command = add_service_command(
        *receiver, "set", "Change the setting (PKON1) and print what the receiver reports back",
        "tarnwick receiver set 2", *set, true);
    set_command->add_option("N", set->value, "the new value")->required();
    set_command->callback([set, &exit_code] { exit_code = run_set(*set); });
}

}  // namespace tarnwick::cli
