#include "tools/common/json_writer.h"

#include <cmath>
#include <iterator>

#include "tools/common/json_number.h"

namespace tarnwick::tools {
namespace {

// What stands for each byte below 0x20: the short forms where JSON has one, else \u00XX in
// lower case.
constexpr std::string_view control_escapes[] = {
    "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
    "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
    "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
    "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f"};

// What stands for a byte that cannot go into a string as it is; empty for every other byte.
constexpr std::string_view escape_of(unsigned char byte) noexcept {
    if (byte < 0x20) {
        return control_escapes[byte];
    }
    if (byte == '"') {
        return "\\\"";
    }
    if (byte == '\\') {
        return "\\\\";
    }
    return {};
}

}  // namespace

void JsonWriter::append_string(std::string_view utf8) {
    out_ += '"';
    // Plain runs go in one append.
    std::size_t plain_from = 0;
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const std::string_view escape = escape_of(static_cast<unsigned char>(utf8[at]));
        if (!escape.empty()) {
            out_.append(utf8, plain_from, at - plain_from);
            out_ += escape;
            plain_from = at + 1;
        }
    }
    out_.append(utf8, plain_from);
    out_ += '"';
}

void JsonWriter::real(float value) {
    if (!std::isfinite(value)) {
        null();
        return;
    }
    separate();
    char shortest[32];
    const auto written = std::to_chars(std::begin(shortest), std::end(shortest), value);
    double widened = value;
    std::from_chars(std::begin(shortest), written.ptr, widened);
    char text[json_number_max_length];
    out_.append(text, write_json_number(text, widened));
}

void JsonWriter::character(char value) {
    if (value == 0) {
        null();
        return;
    }
    const auto code = static_cast<unsigned char>(value);
    if (code < 0x80) {
        string(std::string_view(&value, 1));
        return;
    }
    const char utf8[] = {static_cast<char>(0xC0 | (code >> 6)),
                         static_cast<char>(0x80 | (code & 0x3F))};
    string(std::string_view(utf8, sizeof utf8));
}

}  // namespace tarnwick::tools
