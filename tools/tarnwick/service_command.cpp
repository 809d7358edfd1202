#include "tools/tarnwick/service_command.h"

#include <cstdio>
#include <filesystem>

#include "platform/wide_string.h"

namespace tarnwick::cli {

CLI::App* add_service_command(CLI::App& app, const std::string& name,
                              const std::string& description, const std::string& example,
                              ServiceOptions& options, bool prints_data) {
    CLI::App* command = app.add_subcommand(name, description);
    command->footer("Example:\n  " + example);
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
                        "the service is not running: start it with `tarnwickd &` or drop "
                        "--no-start",
                        exit_no_service);
        case ClientError::start_failed:
            return fail(command,
                        "the service could not be started (is tarnwickd installed and was it "
                        "run once in this namespace?): start it with `tarnwickd &`",
                        exit_no_service);
        case ClientError::timed_out:
            return fail(command,
                        "the service did not answer in time (try a longer --timeout, or "
                        "restart it: tarnwick quit; tarnwickd &)",
                        exit_no_service);
        case ClientError::channel_failed:
            return fail(command,
                        "cannot open the service's channels (check TARNWICK_HOME and its "
                        "permissions)",
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
        return fail(command, "the service is not running", exit_no_service);
    }
    return report_error(command, error);
}

std::wstring absolute_path(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return platform::from_utf8(
        (absolute.empty() ? std::filesystem::path(path) : absolute).lexically_normal().string());
}

std::string narrow(const std::wstring& text) {
    return platform::to_utf8(text);
}

std::wstring wide(const std::string& text) {
    return platform::from_utf8(text);
}

}  // namespace tarnwick::cli
