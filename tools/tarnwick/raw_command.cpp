#include <cctype>
#include <cstdio>
#include <optional>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct RawOptions : ServiceOptions {
    std::vector<std::string> hex;
};

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Hex digits in pairs; spaces between words are ignored.
std::optional<std::vector<std::uint8_t>> parse_hex(const std::vector<std::string>& words) {
    std::string digits;
    for (const std::string& word : words) {
        for (const char c : word) {
            if (std::isspace(static_cast<unsigned char>(c)) == 0) {
                digits += c;
            }
        }
    }
    if (digits.empty() || digits.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hex_digit(digits[i]);
        const int low = hex_digit(digits[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

int run_raw(const RawOptions& options) {
    const auto requests = parse_hex(options.hex);
    if (!requests) {
        return fail("raw", "HEX must be pairs of hexadecimal digits", exit_usage);
    }
    std::unique_ptr<client::Client> client;
    if (const int failed = open_client("raw", options, client)) {
        return failed;
    }
    std::vector<std::uint8_t> answers;
    if (const auto error = client->send_raw(*requests, answers);
        error != client::ClientError::none) {
        return report_error("raw", error);
    }
    std::string line;
    static constexpr char digits[] = "0123456789abcdef";
    for (const std::uint8_t byte : answers) {
        line += digits[byte >> 4];
        line += digits[byte & 0xF];
    }
    std::printf("%s\n", line.c_str());
    return exit_ok;
}

}  // namespace

void add_raw_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<RawOptions>();
    CLI::App* command = add_service_command(
        app, "raw", "Send request bytes to \"in\" and print the answer bytes in hex",
        "tarnwick raw f7030000   # GetTimeStampMode: prints f703000000000000\n"
        "docs/protocol.md describes every request and answer.",
        *options, false);
    command->add_option("HEX", options->hex, "the request bytes, little-endian")->required();
    command->callback([options, &exit_code] { exit_code = run_raw(*options); });
}

}  // namespace tarnwick::cli
