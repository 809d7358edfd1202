#pragma once
// Text-to-number conversions of sentence fields. They give exactly what the C library's atoi,
// atof and strtol give on a 64-bit platform, with the cases C leaves undefined pinned down, and
// without the cost of the C library on the plain decimal texts receivers send.

#include <cstddef>
#include <cstdint>

namespace tarnwick::nmea {

// The general case of to_int: blanks, signs, long digit strings.
std::int32_t to_int_any(const char* text) noexcept;

// atoi: optional blanks, an optional sign, decimal digits up to the first other character, 0
// without digits. Overflow behaves as glibc's atoi on a 64-bit machine: the value saturated to
// the 64-bit range, then its low 32 bits, on every machine alike (the C library of a 32-bit one
// saturates at 32 bits, and records must not differ by machine). Narrower members take the low
// bits of this.
// Inline for the texts receivers send, up to nine plain digits.
inline std::int32_t to_int(const char* text) noexcept {
    std::uint32_t value = 0;
    for (int i = 0; i < 9; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
        if (digit > 9) {
            return i > 0 ? static_cast<std::int32_t>(value) : to_int_any(text);
        }
        value = value * 10 + digit;
    }
    return to_int_any(text);
}

// atof: strtod's correctly rounded double.
double to_double(const char* text) noexcept;

// atof rounded to float: strtod's double (correctly rounded), then rounded to nearest float;
// beyond the float range that rounding yields an infinity (IEEE-754, no undefined behaviour).
inline float to_float(const char* text) noexcept {
    return static_cast<float>(to_double(text));
}

// atoi of a copy of the two characters at text (which has at least two), so that the digits of
// a neighbouring group in the same field never join in.
inline std::int32_t pair_to_int(const char* text) noexcept {
    const char pair[3] = {text[0], text[1], '\0'};
    return to_int(pair);
}

// Truncation toward zero as x86-64's cvttss2si does it: NaN and values outside the int32 range
// give INT32_MIN.
std::int32_t truncate_to_int32(float value) noexcept;

// strtol(text, nullptr, 16) over [text, end), never looking at end or beyond: optional blanks, an
// optional sign, an optional "0x"/"0X", then hexadecimal digits of either case; 0 without
// digits. Values beyond the long range saturate as strtol does.
long hex_to_long(const char* text, const char* end) noexcept;

// strlen(text), but counting no further than limit.
inline std::size_t bounded_length(const char* text, std::size_t limit) noexcept {
    std::size_t n = 0;
    while (n < limit && text[n] != '\0') {
        ++n;
    }
    return n;
}

// A character member is taken only from a field of exactly one character.
inline bool is_single_char(const char* text) noexcept {
    return text[0] != '\0' && text[1] == '\0';
}

}  // namespace tarnwick::nmea
