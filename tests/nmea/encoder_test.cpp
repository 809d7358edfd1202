// Receiver commands: SiRF input messages and free sentences.

#include <gtest/gtest.h>

#include <string>

#include "nmea/encoder.h"

namespace tarnwick::test {
namespace {

SiRFParams params(std::initializer_list<std::int32_t> slots) {
    SiRFParams p;
    int i = 0;
    for (const std::int32_t v : slots) {
        p.s[i++] = v;
    }
    return p;
}

// The command as text, or "" when refused.
std::string sirf(int id, SiRFParams p) {
    char out[300];
    const unsigned n = CNMEAEncoder{}.encode_sirf(out, sizeof out, id, p);
    return std::string(out, n);
}

TEST(Encoder, WorkedValues) {
    EXPECT_EQ(sirf(101, params({0, 0, 0, 0, 0, 0, 12, 4})), "$PSRF101,0,0,0,0,0,0,12,4*10\r\n");
    EXPECT_EQ(sirf(101, params({0, 0, 0, 0, 0, 0, 12, 2})), "$PSRF101,0,0,0,0,0,0,12,2*16\r\n");
    char out[64];
    const unsigned n = CNMEAEncoder{}.encode_sentence(out, sizeof out, "aaGPQ,PORZX");
    EXPECT_EQ(std::string(out, n), "$aaGPQ,PORZX*25\r\n");
    EXPECT_EQ(n, 17u);
}

TEST(Encoder, SirfPayloadsAndRanges) {
    struct Case {
        int id;
        SiRFParams p;
        const char* payload;  // between "$PSRF<id>," and "*"; nullptr when refused
    };
    const Case cases[] = {
        {99, params({}), nullptr},
        {106, params({}), nullptr},
        {100, params({0, 4800, 8, 1, 0}), "0,4800,8,1,0"},
        {100, params({0, 4800, 7, 1, 0}), nullptr},
        {100, params({1, 4800, 7, 0, 2}), "1,4800,7,0,2"},
        {100, params({1, 4800, 6, 0, 2}), nullptr},
        {100, params({2, 4800, 8, 0, 0}), nullptr},
        {100, params({1, 4800, 8, 2, 0}), nullptr},
        {100, params({1, 4800, 8, 0, 3}), nullptr},
        {101, params({-1, 2, 3, 99, 5, 6, 1, 1}), "-1,2,3,0,5,6,1,1"},  // clock offset always 0
        {101, params({0, 0, 0, 0, 0, 0, 0, 4}), nullptr},
        {101, params({0, 0, 0, 0, 0, 0, 13, 4}), nullptr},
        {101, params({0, 0, 0, 0, 0, 0, 12, 0}), nullptr},
        {101, params({0, 0, 0, 0, 0, 0, 12, 5}), nullptr},
        {102, params({4800, 7, 1, 2}), "4800,8,1,2"},  // data bits always 8
        {102, params({57600, 8, 0, 0}), nullptr},
        {102, params({38400, 8, 2, 0}), nullptr},
        {102, params({1200, 8, 0, 3}), nullptr},
        {103, params({5, 1, 255, 1}), "5,1,255,1"},
        {103, params({0, 0, 256, 0}), nullptr},
        {103, params({0, 0, -1, 0}), nullptr},
        {103, params({6, 0, 1, 0}), nullptr},
        {103, params({0, 2, 1, 0}), nullptr},
        {103, params({0, 0, 1, 2}), nullptr},
        {105, params({1}), "1"},
        {105, params({2}), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const std::string command = sirf(c.id, c.p);
        if (c.payload == nullptr) {
            EXPECT_EQ(command, "");
            continue;
        }
        const std::string prefix = "$PSRF" + std::to_string(c.id) + "," + c.payload + "*";
        ASSERT_EQ(command.substr(0, prefix.size()), prefix);
        unsigned sum = 0;
        for (std::size_t i = 1; i + 1 < prefix.size(); ++i) {
            sum ^= static_cast<unsigned char>(prefix[i]);
        }
        char tail[8];
        std::snprintf(tail, sizeof tail, "%02X\r\n", sum);
        EXPECT_EQ(command.substr(prefix.size()), tail);
    }
}

TEST(Encoder, Message104WritesRealsAsDecimals) {
    SiRFParams p = params({0, 0, 0, 7, 86400, 1200, 12, 1});
    p.set_real(0, 48.1173f);
    p.set_real(1, -11.5167f);
    p.set_real(2, 545.4f);
    const std::string command = sirf(104, p);
    EXPECT_EQ(command.substr(0, command.find('*')),
              "$PSRF104,48.117298,-11.516700,545.4,0,86400,1200,12,1");
    p.s[6] = 0;
    EXPECT_EQ(sirf(104, p), "");
}

TEST(Encoder, CapacityIsExact) {
    const std::string expected = "$PSRF101,0,0,0,0,0,0,12,4*10\r\n";
    const SiRFParams p = params({0, 0, 0, 0, 0, 0, 12, 4});
    const std::string payload = "aaGPQ,PORZX";
    const std::string sentence = "$aaGPQ,PORZX*25\r\n";
    CNMEAEncoder encoder;
    std::string out(64, '#');
    const auto cap = static_cast<unsigned>(expected.size());
    EXPECT_EQ(encoder.encode_sirf(out.data(), cap - 1, 101, p), 0u);
    EXPECT_EQ(encoder.encode_sentence(out.data(), static_cast<unsigned>(sentence.size()) - 1,
                                      payload.c_str()),
              0u);
    EXPECT_EQ(out, std::string(64, '#'));  // untouched when refused
    EXPECT_EQ(encoder.encode_sirf(out.data(), cap, 101, p), cap);
    EXPECT_EQ(out.substr(0, cap), expected);
    EXPECT_EQ(out[cap], '#');  // no terminator
    EXPECT_EQ(encoder.encode_sentence(out.data(), static_cast<unsigned>(sentence.size()),
                                      payload.c_str()),
              sentence.size());
    EXPECT_EQ(encoder.encode_sirf(nullptr, 0, 101, p), 0u);
}

TEST(Encoder, LongPayloadsAreRefusedNotCut) {
    char out[512];
    CNMEAEncoder encoder;
    const std::string fits(249, 'A');  // "$" + 249 + "*hh\r\n" = 255 characters
    EXPECT_EQ(encoder.encode_sentence(out, sizeof out, fits.c_str()), 255u);
    const std::string too_long(250, 'A');
    EXPECT_EQ(encoder.encode_sentence(out, sizeof out, too_long.c_str()), 0u);
    EXPECT_EQ(encoder.encode_sentence(out, sizeof out, nullptr), 0u);
    EXPECT_EQ(encoder.encode_sentence(out, sizeof out, ""), 6u);  // "$*00\r\n"
}

}  // namespace
}  // namespace tarnwick::test
