#include "tools/tarnwick/service_command.h"

#include <cstdio>
#include <filesystem>

#include "base/utf8.h"
#include "client/service_settings.h"
#include "tools/tarnwick/message_format.h"

namespace tarnwick::cli {

CLI::App* add_service_command(CLI::App& app, const std::string& name,
                              const std::string& description, const std::string& example,
                              ServiceOptions& options, bool prints_data) {
    CLI::App* command = app.add_subcommand(name, description);
    const bool several = example.find('\n') != std::string::npos;
    command->footer((several ? "Examples:\n  " : "Example:\n  ") + example);
    command->add_flag("--no-start", options.no_start,
                      "fail (exit 3) instead of starting the service when it is not running");
    command
        ->add_option("--timeout", options.timeout_seconds,
                     "seconds to wait for the service's answer")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    if (prints_data) {
        command->add_flag("--json", options.json, "print JSON instead of text");
    }
    return command;
}

int fail(const std::string& command, const std::string& message, int code) {
    std::fprintf(stderr, "tarnwick %s: %s\n", command.c_str(), message.c_str());
    return code;
}

int report_error(const std::string& command, client::ClientError error) {
    using client::ClientError;
    switch (error) {
        case ClientError::none:
            return exit_ok;
        case ClientError::service_not_running:
            return fail(command,
                        "the service is not running: start it with `tarnwickd` or `systemctl "
                        "--user start tarnwickd` (without --no-start, tarnwick starts it itself)",
                        exit_no_service);
        case ClientError::start_failed:
            return fail(command,
                        "the service is not running and could not be started: start it with "
                        "`tarnwickd` or `systemctl --user start tarnwickd` (tarnwick can start it "
                        "only once it has run in this namespace; TARNWICK_DEBUG=1 shows why)",
                        exit_no_service);
        case ClientError::timed_out:
            return fail(command,
                        "the service did not answer in time: try a longer --timeout, or restart "
                        "it with `tarnwick quit` and then `tarnwickd`",
                        exit_no_service);
        case ClientError::channel_failed:
            return fail(command,
                        "cannot open the service's channels: check that TARNWICK_HOME (or "
                        "~/.local/state/tarnwick) is yours and writable",
                        exit_no_service);
        case ClientError::request_too_large:
        case ClientError::malformed_request:
            return fail(command, client::describe(error), exit_usage);
    }
    return fail(command, client::describe(error), exit_request_failed);
}

int open_client(const std::string& command, const ServiceOptions& options,
                std::unique_ptr<client::Client>& client, bool never_start) {
    client::ClientOptions client_options;
    client_options.may_start = !options.no_start && !never_start;
    client_options.answer_timeout =
        std::chrono::milliseconds(static_cast<long long>(options.timeout_seconds * 1000.0));
    const client::ClientError error = client::Client::open(client_options, client);
    if (error == client::ClientError::service_not_running && never_start) {
        return fail(command, "the service is not running: there is nothing to " + command,
                    exit_no_service);
    }
    return report_error(command, error);
}

std::string input_already_open(client::Client& client) {
    std::int32_t mode = 0;
    if (client.get_input_mode(mode) != client::ClientError::none || mode == 0) {
        return {};
    }
    return "an input is already open (" + input_mode_text(mode) +
           "): close it with `tarnwick disconnect` first";
}

std::wstring absolute_path(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return tarnwick::from_utf8(
        (absolute.empty() ? std::filesystem::path(path) : absolute).lexically_normal().string());
}

std::string narrow(const std::wstring& text) {
    return tarnwick::to_utf8(text);
}

std::wstring wide(const std::string& text) {
    return tarnwick::from_utf8(text);
}

void suggest_gnss_setting() {
    if (client::read_service_settings().gnss_on()) {
        return;
    }
    std::fprintf(stderr,
                 "a likely cause: the gnss setting is off, and most receivers of the last ten "
                 "years (NMEA 4.x, talkers GN, GL, GA, GB) answer only with it on: turn it on "
                 "with `tarnwick config gnss on`, then try again\n");
}

}  // namespace tarnwick::cli
