// Recognising one's own answers, and reading raw requests as the service reads them.

#include "client/answer_parser.h"

#include <gtest/gtest.h>

#include "client/request_batch.h"

namespace tarnwick::test {
namespace {

std::vector<std::uint8_t> ints(std::initializer_list<std::int32_t> values) {
    std::vector<std::uint8_t> bytes;
    for (const std::int32_t v : values) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> shift));
        }
    }
    return bytes;
}

TEST(AnswerParser, TakesOnlyExactlyTheAnswersToTheRequests) {
    const std::vector<std::int32_t> codes = {1006, 1015};
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool ours;
    };
    const Case cases[] = {
        {"both answers", ints({1006, 1, 1015, 0}), true},
        {"after a dead client's answers", ints({1017, 0, 999, 1006, 8, 1006, 1, 1015, 0}), true},
        {"after bytes that are not whole answers", ints({1017, 1006, 1, 1015, 0}), false},
        {"another client's answer", ints({1017, 0}), false},
        {"codes in the wrong order", ints({1015, 0, 1006, 1}), false},
        {"bytes left over", ints({1006, 1, 1015, 0, 1006}), false},
        {"cut short", ints({1006, 1, 1015}), false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(client::parse_answers(c.bytes, codes).has_value(), c.ours) << c.what;
    }
}

TEST(AnswerParser, ReadsTheVariableParts) {
    // EnumPorts with one name, Connect with a port, ConnectPort failing, 999 for 1011.
    const std::vector<std::int32_t> codes = {1001, 1002, 1004, 1011};
    std::vector<std::uint8_t> good = ints({1001, 1, 2});
    good.insert(good.end(), {'C', 0, 'O', 0});
    const auto connect = ints({1002, 1, 1});
    good.insert(good.end(), connect.begin(), connect.end());
    good.insert(good.end(), {'X', 0});
    const auto tail = ints({4800, 1004, 0, 5, 999});
    good.insert(good.end(), tail.begin(), tail.end());
    const auto parsed = client::parse_answers(good, codes);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ((*parsed)[0].ports, std::vector<std::wstring>{L"CO"});
    EXPECT_EQ((*parsed)[1].port, L"X");
    EXPECT_EQ((*parsed)[1].baud, 4800);
    EXPECT_EQ((*parsed)[2].system_error, 5U);
    EXPECT_EQ((*parsed)[3].code, 999);
}

TEST(AnswerParser, HugeCountsAreRefusedWithoutAllocating) {
    EXPECT_FALSE(client::parse_answers(ints({1001, 0x7fffffff}), std::vector<std::int32_t>{1001}));
    EXPECT_FALSE(client::parse_answers(ints({1001, 1, -5}), std::vector<std::int32_t>{1001}));
}

TEST(AnswerParser, RawRequestsAreReadAsTheServiceReadsThem) {
    client::RequestBatch batch;
    batch.connect_port(L"COM1:", 4800).quit().open_file(L"/tmp/a.nmea", true, 2.0F);
    EXPECT_EQ(client::answer_codes_of(batch.bytes()), batch.answer_codes());
    EXPECT_EQ(batch.answer_codes(), (std::vector<std::int32_t>{1004, 1008}));

    // Not requests take no arguments: each int32 is the next code.
    EXPECT_EQ(client::answer_codes_of(ints({1011, 7})), (std::vector<std::int32_t>{1011, 7}));
    // Arguments cut short.
    EXPECT_FALSE(client::answer_codes_of(ints({1002})).has_value());
    EXPECT_FALSE(client::answer_codes_of(std::vector<std::uint8_t>{0xee, 0x03}).has_value());
}

}  // namespace
}  // namespace tarnwick::test
