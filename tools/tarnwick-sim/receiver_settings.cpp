#include "tools/tarnwick-sim/receiver_settings.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "tools/tarnwick-sim/nmea_sentences.h"

namespace tarnwick::sim {
namespace {

std::optional<std::int32_t> whole_number(std::string_view text) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool printable_character(std::string_view text) {
    return text.size() == 1 && text[0] > ' ' && text[0] < 0x7F && text[0] != ',' &&
           text[0] != '*' && text[0] != '$';
}

bool plain_field(std::string_view text) {
    for (const char c : text) {
        if (c <= ' ' || c >= 0x7F || c == ',' || c == '*' || c == '$') {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> split_commas(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(comma + 1);
    }
}

}  // namespace

std::optional<ReceiverSettings> parse_settings(std::string_view text) {
    const std::vector<std::string_view> fields = split_commas(text);
    if (fields.size() != 6) {
        return std::nullopt;
    }
    const auto param1 = whole_number(fields[0]);
    const auto receiver = whole_number(fields[1]);
    const auto param5 = whole_number(fields[4]);
    if (!param1 || !receiver || !param5 || !plain_field(fields[2]) || !plain_field(fields[3]) ||
        !printable_character(fields[5])) {
        return std::nullopt;
    }
    return ReceiverSettings{*param1, *receiver,   std::string(fields[2]), std::string(fields[3]),
                            *param5, fields[5][0]};
}

std::string format_settings(const ReceiverSettings& settings) {
    char text[128];
    std::snprintf(text, sizeof text, "%d,%d,%s,%s,%d,%c", settings.param1, settings.receiver,
                  settings.field3.c_str(), settings.field4.c_str(), settings.param5,
                  settings.param6);
    return text;
}

std::string porzx_sentence(const ReceiverSettings& settings) {
    // The same widths as the command that writes the values back.
    char body[160];
    std::snprintf(body, sizeof body, "PORZX,%03d,%d,%s,%s,%04d,%c", settings.param1,
                  settings.receiver, settings.field3.c_str(), settings.field4.c_str(),
                  settings.param5, settings.param6);
    std::string sentence;
    append_sentence(sentence, body);
    return sentence;
}

bool apply_pkon1(ReceiverSettings& settings, const std::string_view* fields, std::size_t count) {
    if (count < 6 || !fields[2].empty() || !fields[3].empty()) {
        return false;
    }
    const auto param1 = whole_number(fields[0]);
    const auto receiver = whole_number(fields[1]);
    const auto param5 = whole_number(fields[4]);
    if (!param1 || !receiver || !param5 || !printable_character(fields[5])) {
        return false;
    }
    settings.param1 = *param1;
    settings.receiver = *receiver;
    settings.param5 = *param5;
    settings.param6 = fields[5][0];
    return true;
}

}  // namespace tarnwick::sim
