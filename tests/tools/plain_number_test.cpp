// Numbers as XML decimals (GPX) and doubles through the JSON writer: the digits of the JSON
// numbers, never an exponent, and every one reads back as the same double.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "tools/common/json_number.h"
#include "tools/common/json_writer.h"

namespace tarnwick::test {
namespace {

std::string plain(double value) {
    char text[tools::plain_number_max_length];
    return std::string(text, tools::write_plain_number(text, value));
}

TEST(PlainNumber, WritesDecimalsWithoutAnExponent) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "-0"},
        {45.5017053, "45.5017053"},
        {-73.5672782, "-73.5672782"},
        {36.0, "36"},
        {1e-7, "0.0000001"},
        {-1.5e-5, "-0.000015"},
        {1e15, "1000000000000000"},
        {1.5e20, "150000000000000000000"},
        {1234567890123.4567, "1234567890123.4568"},
        {0.1, "0.1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plain(c.value), c.text) << c.value;
    }
}

TEST(PlainNumber, EveryDoubleReadsBackWithinTheLongestText) {
    std::mt19937_64 random(7);
    std::vector<double> values = {std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min(),
                                  -std::numeric_limits<double>::denorm_min(),
                                  179.9999999,
                                  -89.9999999};
    for (int i = 0; i < 20000; ++i) {
        const double value = std::bit_cast<double>(random());
        if (std::isfinite(value)) {
            values.push_back(value);
        }
    }
    for (const double value : values) {
        const std::string text = plain(value);
        ASSERT_LE(text.size(), static_cast<std::size_t>(tools::plain_number_max_length));
        ASSERT_EQ(text.find_first_not_of("-0123456789."), std::string::npos) << text;
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    }
}

TEST(PlainNumber, TheJsonWriterWritesDoublesAsItsFloats) {
    std::string out;
    {
        tools::JsonWriter json(out);
        json.begin_array();
        json.number(45.5017053);
        json.number(-1e-6);
        json.number(std::nan(""));
        json.real(1.1f);
        json.number(tools::as_written(1.1f));
        json.end_array();
    }
    EXPECT_EQ(out, "[45.5017053,-1e-06,null,1.1,1.1]");
}

}  // namespace
}  // namespace tarnwick::test
