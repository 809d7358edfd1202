#include "tools/common/json_writer.h"

#include <cmath>

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

void JsonWriter::string(std::string_view utf8) {
    // Every byte escaped as \u00XX at most, the quotes and a separator.
    constexpr std::size_t most_escaped = 6;
    if (utf8.size() > (sizeof buffer_ - 3) / most_escaped) {
        // Longer than the buffer can surely take: straight to the string, plain runs whole.
        flush();
        if (!first_) {
            out_ += ',';
        }
        first_ = false;
        out_ += '"';
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
        return;
    }
    char* end = start(room(utf8.size() * most_escaped + 3));
    *end++ = '"';
    for (const char byte : utf8) {
        const std::string_view escape = escape_of(static_cast<unsigned char>(byte));
        if (escape.empty()) {
            *end++ = byte;
        } else {
            end = std::copy(escape.begin(), escape.end(), end);
        }
    }
    *end++ = '"';
    done(end);
}

void JsonWriter::real(float value) {
    if (!std::isfinite(value)) {
        null();
        return;
    }
    number(as_written(value));
}

void JsonWriter::number(double value) {
    if (!std::isfinite(value)) {
        null();
        return;
    }
    done(write_json_number(start(room(json_number_max_length + 1)), value));
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
    char* end = start(room(5));
    *end++ = '"';
    *end++ = static_cast<char>(0xC0 | (code >> 6));
    *end++ = static_cast<char>(0x80 | (code & 0x3F));
    *end++ = '"';
    done(end);
}

}  // namespace tarnwick::tools
