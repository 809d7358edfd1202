// The fast field conversions must give exactly what the C library gives (atoi = (int)strtol on
// a 64-bit platform, atof rounded to float, strtol base 16), bit for bit.

#include "nmea/field_conversion.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace tarnwick::nmea {
namespace {

std::uint32_t bits(float v) {
    return std::bit_cast<std::uint32_t>(v);
}

float c_atof(const std::string& s) {
    return static_cast<float>(std::strtod(s.c_str(), nullptr));
}
// atoi of a 64-bit machine, on every machine.
std::int32_t c_atoi(const std::string& s) {
    return static_cast<std::int32_t>(std::strtoll(s.c_str(), nullptr, 10));
}

const char* const real_table[] = {
    "0",
    "-0",
    "4807.038",
    "01131.000",
    "0.9",
    "545.4",
    "-46.9",
    ".5",
    "-.5",
    "5.",
    "-",
    ".",
    "",
    "1..2",
    "1.2.3",
    " 1.5",
    "\t1.5",
    "+1.5",
    "1e3",
    "1E-3",
    "1e",
    "1e+",
    "0x1p3",
    "0x10",
    "inf",
    "-INF",
    "infinity",
    "nan",
    "-nan",
    "nan(123)",
    "1.5abc",
    "12,5",
    "1e400",
    "-1e400",
    "1e-400",
    "3.4028235e38",
    "3.4028236e38",
    "1e39",
    "0.000000000000000000000000000000000000000000001",
    "123456789012345678901234567890",
    "9007199254740993",
    "0.1000000000000000055511151231257827",
    "1.00000005960464477539062500000000000000000000000000000000001",  // just above a float tie
    "1.000000059604644775390625",                                     // a float tie
    "00000000000000000000000000000000000001.5",
};

TEST(FieldConversion, RealsMatchStrtodTable) {
    for (const char* text : real_table) {
        SCOPED_TRACE(text);
        EXPECT_EQ(bits(to_float(text)), bits(c_atof(text)));
    }
}

// Random digits in the shapes receivers send (and some they do not), against strtod.
TEST(FieldConversion, RealsMatchStrtodRandomized) {
    std::mt19937_64 rng(20261209);
    const char alphabet[] = "0123456789";
    int compared = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string s;
        if (rng() % 4 == 0) {
            s += '-';
        }
        const int int_digits = static_cast<int>(rng() % (rng() % 8 == 0 ? 40 : 6));
        for (int d = 0; d < int_digits; ++d) {
            s += alphabet[rng() % 10];
        }
        if (rng() % 4 != 0) {
            s += '.';
            const int frac_digits = static_cast<int>(rng() % (rng() % 8 == 0 ? 40 : 8));
            for (int d = 0; d < frac_digits; ++d) {
                s += alphabet[rng() % 10];
            }
        }
        if (rng() % 16 == 0) {
            s += "e" + std::to_string(static_cast<int>(rng() % 100) - 50);
        }
        ASSERT_EQ(bits(to_float(s.c_str())), bits(c_atof(s))) << s;
        ++compared;
    }
    // Values a few ulps around float rounding boundaries, written with enough digits.
    std::uniform_real_distribution<float> range(-20000.0f, 20000.0f);
    for (int i = 0; i < 100000; ++i) {
        const float f = range(rng);
        const double mid =
            (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 1e9f))) / 2;
        for (const double v : {mid, std::nextafter(mid, 0.0), std::nextafter(mid, 1e9)}) {
            char text[64];
            std::snprintf(text, sizeof text, "%.17f", v);
            ASSERT_EQ(bits(to_float(text)), bits(c_atof(text))) << text;
            ++compared;
        }
    }
    EXPECT_GT(compared, 0);
}

TEST(FieldConversion, IntegersMatchAtoi) {
    const char* const table[] = {
        "0",
        "-0",
        "+0",
        "42",
        "0042",
        "-17",
        "  12",
        "\t\n\v\f\r 7",
        "12abc",
        "1.9",
        "-1.9",
        "",
        "-",
        "+",
        "abc",
        " - 1",
        "2147483647",
        "2147483648",
        "-2147483648",
        "-2147483649",
        "4294967296",
        "4294967297",
        "9223372036854775807",
        "9223372036854775808",
        "-9223372036854775808",
        "-9223372036854775809",
        "18446744073709551616",
        "99999999999999999999999999999",
        "-99999999999999999999999999999",
        "00000000000000000000000000000000000000000000001",
    };
    for (const char* text : table) {
        SCOPED_TRACE(text);
        EXPECT_EQ(to_int(text), c_atoi(text));
    }
    std::mt19937_64 rng(42);
    const char alphabet[] = "0123456789  -+x";
    for (int i = 0; i < 200000; ++i) {
        std::string s;
        const int length = static_cast<int>(rng() % 24);
        for (int d = 0; d < length; ++d) {
            s += alphabet[rng() % (rng() % 4 == 0 ? 15 : 10)];
        }
        ASSERT_EQ(to_int(s.c_str()), c_atoi(s)) << s;
    }
}

TEST(FieldConversion, PairToIntReadsTwoCharacters) {
    EXPECT_EQ(pair_to_int("123519"), 12);
    EXPECT_EQ(pair_to_int("3519"), 35);
    EXPECT_EQ(pair_to_int("1x"), 1);
    EXPECT_EQ(pair_to_int("-9"), -9);
}

TEST(FieldConversion, HexMatchesStrtolWithinBounds) {
    const char* const table[] = {"1D",
                                 "1d",
                                 "01D",
                                 "0x1D",
                                 "0X1d",
                                 "0x",
                                 "0xg",
                                 " 1D",
                                 "\t+1D",
                                 "-1D",
                                 "",
                                 "G",
                                 "1D\r\n",
                                 "ffffffffffffffffffff",
                                 "-ffffffffffffffffffff",
                                 "7fffffffffffffff",
                                 "8000000000000000",
                                 "-8000000000000000",
                                 "-8000000000000001"};
    for (const std::string text : table) {
        SCOPED_TRACE(text);
        // Past end lies a digit that strtol on the bounded copy never sees.
        const std::string with_more = text + "F";
        EXPECT_EQ(hex_to_long(with_more.data(), with_more.data() + text.size()),
                  std::strtol(text.c_str(), nullptr, 16));
    }
    const char star_end[] = "4A";
    EXPECT_EQ(hex_to_long(star_end, star_end), 0);
    EXPECT_EQ(hex_to_long(star_end, star_end + 1), 4);
}

TEST(FieldConversion, TruncationLikeTheHardware) {
    constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {0.0f, 0},
        {1.9f, 1},
        {-1.9f, -1},
        {4807.038f, 4807},
        {2147483520.0f, 2147483520},
        {2147483648.0f, min},
        {-2147483648.0f, min},
        {-2147483904.0f, min},
        {1e10f, min},
        {-1e10f, min},
        {nan, min},
        {inf, min},
        {-inf, min},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(truncate_to_int32(c.value), c.expected);
    }
}

TEST(FieldConversion, SingleCharAndBoundedLength) {
    EXPECT_TRUE(is_single_char("A"));
    EXPECT_FALSE(is_single_char(""));
    EXPECT_FALSE(is_single_char("AB"));
    EXPECT_EQ(bounded_length("abc", 6), 3u);
    EXPECT_EQ(bounded_length("abcdefgh", 6), 6u);
}

}  // namespace
}  // namespace tarnwick::nmea
