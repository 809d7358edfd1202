#pragma once
// What every subcommand that talks to the service shares: the --no-start, --json and --timeout
// options, opening the client, error messages that name the fix, and the exit codes.
//
// Exit codes (documented in `tarnwick --help`):
//   0  done
//   1  the service refused or failed the request (no input, port busy, no fix yet …)
//   2  usage or file error (bad arguments, a file that cannot be read)
//   3  the service is not running, could not be started, or did not answer in time

#include <CLI/CLI.hpp>
#include <chrono>
#include <memory>
#include <string>

#include "client/client.h"

namespace tarnwick::cli {

inline constexpr int exit_ok = 0;
inline constexpr int exit_request_failed = 1;
inline constexpr int exit_usage = 2;
inline constexpr int exit_no_service = 3;

struct ServiceOptions {
    bool no_start = false;
    bool json = false;
    double timeout_seconds = 20;
};

// Adds a subcommand with the shared options and an example in its help (several examples: one
// a line, the lines after the first indented by two spaces). `prints_data` adds --json.
CLI::App* add_service_command(CLI::App& app, const std::string& name,
                              const std::string& description, const std::string& example,
                              ServiceOptions& options, bool prints_data);

// Opens the client (starting the service unless --no-start or `never_start`). On failure prints
// the error and returns its exit code; 0 on success.
int open_client(const std::string& command, const ServiceOptions& options,
                std::unique_ptr<client::Client>& client, bool never_start = false);

// Prints "tarnwick <command>: <what went wrong>" with the fix, returns the exit code.
int report_error(const std::string& command, client::ClientError error);

// Prints "tarnwick <command>: <message>" on standard error, returns `code`.
int fail(const std::string& command, const std::string& message, int code);

// Why the service refused to open an input or to record, when the reason is an input already
// open: "an input is already open (serial port): close it with `tarnwick disconnect` first".
// Empty when no input is open (or the service cannot say).
std::string input_already_open(client::Client& client);

// A path as the service must receive it: absolute, since its working directory is not ours.
std::wstring absolute_path(const std::string& path);

// When the gnss setting is off, says on standard error that a receiver of the last ten years
// needs it and how to turn it on: the likely cause when no receiver answers.
void suggest_gnss_setting();

std::string narrow(const std::wstring& text);
std::wstring wide(const std::string& text);

}  // namespace tarnwick::cli
