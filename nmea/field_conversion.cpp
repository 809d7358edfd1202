#include "nmea/field_conversion.h"

#include <charconv>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace tarnwick::nmea {
namespace {

// isspace in the "C" locale, the only one the service runs in.
constexpr bool is_blank(char c) noexcept {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool is_digit(char c) noexcept {
    return c >= '0' && c <= '9';
}

constexpr int hex_value(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// strtol saturates at the range of long: 64 bits on 64-bit machines, 32 on 32-bit ARM. Decimal
// fields saturate at 64 bits everywhere, so that records read the same on every machine; the
// checksum's hexadecimal reading follows the C library's long (only 0 to 255 can ever match).
// Applies the sign to a magnitude the way strtol does, saturating at the range of Wide.
template <typename Wide>
Wide signed_saturated(std::uint64_t magnitude, bool negative) noexcept {
    static_assert(sizeof(Wide) <= sizeof(std::uint64_t));
    constexpr auto wide_max = static_cast<std::uint64_t>(std::numeric_limits<Wide>::max());
    const std::uint64_t limit = negative ? wide_max + 1 : wide_max;
    if (magnitude > limit) {
        magnitude = limit;
    }
    // Two's complement wrap-around is defined for unsigned arithmetic and for the conversion.
    return static_cast<Wide>(negative ? 0 - magnitude : magnitude);
}

// magnitude × base + digit, pinned at the largest value once it no longer fits: any such value is
// beyond the long range, which is all the callers need to know.
void accumulate(std::uint64_t& magnitude, unsigned base, unsigned digit) noexcept {
    constexpr std::uint64_t pinned = std::numeric_limits<std::uint64_t>::max();
    constexpr std::uint64_t always_fits = std::uint64_t{1} << 59;  // × 16 + 15 still fits
    if (magnitude < always_fits) {
        magnitude = magnitude * base + digit;
    } else if (magnitude > (pinned - digit) / base) {
        magnitude = pinned;
    } else {
        magnitude = magnitude * base + digit;
    }
}

// Powers of ten that doubles hold exactly (10^22 is the last one).
constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Whether mantissa / 10^fraction_digits can be computed exactly-rounded in one double division
// (Clinger's fast path): the mantissa is an exact double and so is the power of ten. It needs
// arithmetic in plain double precision, without wider intermediates.
constexpr bool exact_decimal_fits(std::uint64_t mantissa, int digits,
                                  int fraction_digits) noexcept {
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ == 0
    return digits <= 19 && mantissa <= (std::uint64_t{1} << 53) && fraction_digits <= 22;
#else
    (void)mantissa;
    (void)digits;
    (void)fraction_digits;
    return false;
#endif
}

}  // namespace

std::int32_t to_int_any(const char* text) noexcept {
    const char* p = text;
    while (is_blank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    // Eighteen digits always fit; only longer texts need the careful accumulation.
    std::uint64_t magnitude = 0;
    const char* const fast_end = p + 18;
    for (; p != fast_end && is_digit(*p); ++p) {
        magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
    }
    for (; is_digit(*p); ++p) {
        accumulate(magnitude, 10, static_cast<unsigned>(*p - '0'));
    }
    // glibc's atoi is (int)strtol(...): keep the low 32 bits (modular since C++20).
    return static_cast<std::int32_t>(signed_saturated<std::int64_t>(magnitude, negative));
}

double to_double(const char* text) noexcept {
    // Plain [-]digits[.digits] text ending the field, read in one pass. Beyond 19 digits the
    // mantissa wraps, but such a text never takes the exact path.
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) {
        ++p;
    }
    std::uint64_t mantissa = 0;
    const char* const integer_start = p;
    for (; is_digit(*p); ++p) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    const auto integer_digits = static_cast<int>(p - integer_start);
    int fraction_digits = 0;
    if (*p == '.') {
        const char* const fraction_start = ++p;
        for (; is_digit(*p); ++p) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        }
        fraction_digits = static_cast<int>(p - fraction_start);
    }
    const int digits = integer_digits + fraction_digits;
    if (*p == '\0' && digits > 0) {
        if (exact_decimal_fits(mantissa, digits, fraction_digits)) {
            // Both operands are exact doubles, so the one correctly rounded division yields
            // exactly strtod's correctly rounded double.
            double value = static_cast<double>(mantissa);
            if (fraction_digits > 0) {
                value /= exact_powers_of_ten[fraction_digits];
            }
            return negative ? -value : value;
        }
        double value = 0;
        const auto [stop, error] = std::from_chars(text, p, value);
        if (error == std::errc{} && stop == p) {
            return value;
        }
    }
    // Blanks, '+', exponents, hexadecimal, inf/nan, trailing text, results beyond the double
    // range: the full conversion.
    return std::strtod(text, nullptr);
}

std::int32_t truncate_to_int32(float value) noexcept {
    // The negated comparison also catches NaN.
    if (!(value >= -2147483648.0f && value < 2147483648.0f)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

long hex_to_long(const char* text, const char* end) noexcept {
    // What receivers send: exactly two digits before the line ends.
    if (end - text == 2) {
        const int high = hex_value(text[0]);
        const int low = hex_value(text[1]);
        if (high >= 0 && low >= 0) {
            return high * 16 + low;
        }
    }
    const char* p = text;
    while (p < end && is_blank(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    // Skipping a "0x" that no digit follows yields the same value (0) as strtol's reading of "0".
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        p += 2;
    }
    std::uint64_t magnitude = 0;
    for (; p < end; ++p) {
        const int digit = hex_value(*p);
        if (digit < 0) {
            break;
        }
        accumulate(magnitude, 16, static_cast<unsigned>(digit));
    }
    return signed_saturated<long>(magnitude, negative);
}

}  // namespace tarnwick::nmea
