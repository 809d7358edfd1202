#pragma once
// The proprietary settings the simulated receiver reports in its PORZX sentence and accepts
// back in a PKON1 command.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::sim {

struct ReceiverSettings {
    std::int32_t param1 = 12;
    std::int32_t receiver = 3;  // the setting clients read and change
    std::string field3 = "1";   // reported, never changed by a command
    std::string field4 = "0";   // reported, never changed by a command
    std::int32_t param5 = 45;
    char param6 = 'K';
};

// "P1,RECEIVER,F3,F4,P5,P6" as given on the command line (e.g. "12,3,1,0,45,K"): integers for
// 1, 2 and 5, any text without ',' or '*' for 3 and 4, one printable character for 6.
std::optional<ReceiverSettings> parse_settings(std::string_view text);
std::string format_settings(const ReceiverSettings& settings);

// The PORZX sentence reporting them, with "$", checksum and CR LF.
std::string porzx_sentence(const ReceiverSettings& settings);

// Applies the data fields of "PKON1,%03d,%d,,,%04d,%c": fields 1, 2 (the receiver setting), 5
// and 6 are taken, 3 and 4 must be empty. False, with the settings unchanged, for anything a
// receiver would not accept: missing or non-numeric values, a sixth field that is not one
// printable character.
bool apply_pkon1(ReceiverSettings& settings, const std::string_view* fields, std::size_t count);

}  // namespace tarnwick::sim
