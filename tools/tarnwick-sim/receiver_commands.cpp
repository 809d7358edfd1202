#include "tools/tarnwick-sim/receiver_commands.h"

#include <charconv>
#include <cstdio>
#include <string_view>

#include "nmea/sentence_splitter.h"

namespace tarnwick::sim {
namespace {

constexpr int max_fields = 32;

std::string printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out;
}

int whole_number_or(std::string_view text, int fallback) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && !text.empty() ? value
                                                                                     : fallback;
}

CommandEffect noted(std::string log, const char* note) {
    return CommandEffect{std::move(log) + " (" + note + ")", {}, RestartKind::none};
}

}  // namespace

RestartKind restart_kind(int reset_configuration) noexcept {
    switch (reset_configuration) {
        case 1:
            return RestartKind::hot;
        case 2:
        case 3:
            return RestartKind::warm;
        case 4:
            return RestartKind::cold;
        default:
            return RestartKind::none;
    }
}

const char* restart_name(RestartKind kind) noexcept {
    switch (kind) {
        case RestartKind::hot:
            return "hot";
        case RestartKind::warm:
            return "warm";
        case RestartKind::cold:
            return "cold";
        case RestartKind::none:
            break;
    }
    return "none";
}

ReceiverCommands::ReceiverCommands(const ReceiverSettings& settings, bool knows_porzx)
    : settings_(settings), knows_porzx_(knows_porzx) {}

std::vector<CommandEffect> ReceiverCommands::feed(const char* data, std::size_t size,
                                                  const char* busy) {
    std::vector<CommandEffect> effects;
    assembler_.feed(data, size, [&](const CompleteSentence& sentence) {
        effects.push_back(interpret(sentence.text, sentence.parse_end, busy));
    });
    return effects;
}

CommandEffect ReceiverCommands::interpret(char* text, const char* end, const char* busy) {
    const std::string_view whole(text + 1, static_cast<std::size_t>(end - text - 1));
    const std::string payload = printable(whole.substr(0, whole.find('*')));
    char* fields[max_fields + 1];
    fields[0] = text + 1;
    int count = 0;
    const std::string log = "received: " + payload;
    switch (nmea::split_sentence(text + 1, end, fields, max_fields, count)) {
        case nmea::SplitOutcome::NotConfirmed:
            return noted(log, "bad checksum, ignored");
        case nmea::SplitOutcome::TooManyFields:
            return noted(log, "too many fields, ignored");
        case nmea::SplitOutcome::Confirmed:
            break;
    }
    if (busy != nullptr) {
        return noted(log, busy);
    }
    const std::string_view address = fields[0];
    std::string_view data[max_fields];
    for (int i = 0; i < count; ++i) {
        data[i] = fields[i + 1];
    }
    const auto data_count = static_cast<std::size_t>(count);

    if (address.size() == 5 && address.ends_with("GPQ") && data_count >= 1 && data[0] == "PORZX") {
        if (!knows_porzx_) {
            return noted(log, "unknown to this receiver, not answered");
        }
        return CommandEffect{log, porzx_sentence(settings_), RestartKind::none};
    }
    if (address == "PKON1") {
        if (!apply_pkon1(settings_, data, data_count)) {
            return noted(log, "refused");
        }
        return CommandEffect{log, {}, RestartKind::none};
    }
    if (address == "PSRF101") {
        const int channels = data_count >= 8 ? whole_number_or(data[6], 0) : 0;
        const RestartKind kind =
            data_count >= 8 ? restart_kind(whole_number_or(data[7], 0)) : RestartKind::none;
        if (channels < 1 || channels > 12 || kind == RestartKind::none) {
            return noted(log, "refused");
        }
        return CommandEffect{log + " (" + restart_name(kind) + " start)", {}, kind};
    }
    return noted(log, "not supported, ignored");
}

}  // namespace tarnwick::sim
