#pragma once
// Outcome of one parse call; readers trace the printable name when a sentence is refused.

#include <cstdint>

enum class ParseResult : std::int32_t {
    Ok = 0,
    UnknownFormat = 1,
    TooManyParams = 2,
    InvalidChecksum = 3,
    UnknownMessage = 4,
    NotSupportedMessage = 5,
    InvalidGGA = 6,
    InvalidGLL = 7,
    InvalidGSA = 8,
    InvalidGSV = 9,
    InvalidRMC = 10,
    InvalidVTG = 11,
    InvalidPORZA = 12,
    InvalidPORZX = 13,
};

// Printable name of a result code. The proprietary refusals (12, 13) and any unknown value
// print as "Unknown": clients and logs already know them by that name.
const wchar_t* parse_result_name(int code) noexcept;
inline const wchar_t* parse_result_name(ParseResult code) noexcept {
    return parse_result_name(static_cast<int>(code));
}
