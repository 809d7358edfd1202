// Hostile field contents in well-framed sentences of every supported type: every outcome must
// be defined (the sanitizers watch for undefined behaviour and stray memory accesses).

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "nmea/parser.h"
#include "tests/nmea/nmea_test_support.h"

namespace tarnwick::test {
namespace {

std::string random_field(std::mt19937& rng) {
    static const char* const samples[] = {"",
                                          "0",
                                          "-1",
                                          "1e10",
                                          "-1e10",
                                          "nan",
                                          "inf",
                                          "-inf",
                                          "1e400",
                                          "0x7f",
                                          "+3",
                                          " 7",
                                          "99999999999999999999",
                                          "-99999999999999999999",
                                          "4807.038",
                                          "1",
                                          "2147483648",
                                          "-2147483649",
                                          "3.4e38",
                                          "1e-50",
                                          "\xff\x80",
                                          "AB",
                                          "A",
                                          "123519.999",
                                          "311299",
                                          ".",
                                          "-",
                                          "00000000000000000000000000000.5"};
    std::string field = samples[rng() % (sizeof samples / sizeof samples[0])];
    if (rng() % 8 == 0) {
        const char alphabet[] = "0123456789.-+eEx nai\xfe";
        const std::size_t length = rng() % 40;
        for (std::size_t i = 0; i < length; ++i) {
            field += alphabet[rng() % (sizeof alphabet - 1)];
        }
    }
    return field;
}

TEST(RandomSentences, EveryOutcomeIsDefined) {
    const char* const addresses[] = {"GPGGA", "GPGLL", "GPGSA", "GPGSV",
                                     "GPRMC", "GPVTG", "PORZA", "PORZX"};
    std::mt19937 rng(2026);
    CNMEAParser parser;
    RecordingListener listener;
    for (int i = 0; i < 40000; ++i) {
        std::string body = addresses[rng() % 8];
        const int fields = static_cast<int>(rng() % 100);
        for (int f = 0; f < fields; ++f) {
            // GSV bookkeeping fields stay small often enough to build sets.
            body += "," + (f < 2 && rng() % 2 ? std::to_string(rng() % 4) : random_field(rng));
        }
        parse_text(parser, with_checksum(body), &listener);
        ASSERT_GE(static_cast<int>(parser.last_result), 0);
        ASSERT_LE(static_cast<int>(parser.last_result), 13);
        ASSERT_GE(parser.gsv().count, 0);
        ASSERT_LE(parser.gsv().count, CGSVRecord::capacity);
        ASSERT_LE(parser.gsa().prn_count, CGSARecord::capacity);
    }
    EXPECT_GT(listener.deliveries.size(), 1000u);
}

}  // namespace
}  // namespace tarnwick::test
