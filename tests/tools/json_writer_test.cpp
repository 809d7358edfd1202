// The JSON writer against nlohmann-json's dump() of the same document, which is what the tools
// printed before it: strings escaped alike, numbers, and structure without spaces.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "tools/common/json_writer.h"

namespace tarnwick::test {
namespace {

std::string written_string(const std::string& text) {
    std::string out;
    tools::JsonWriter(out).string(text);
    return out;
}

TEST(JsonWriter, EscapesEveryAsciiByteAsNlohmannDoes) {
    for (int byte = 0; byte < 128; ++byte) {
        const std::string text = "a" + std::string(1, static_cast<char>(byte)) + "b";
        EXPECT_EQ(written_string(text), nlohmann::json(text).dump()) << "byte " << byte;
    }
}

TEST(JsonWriter, PassesUtf8Through) {
    const std::string texts[] = {"",
                                 "COM1:",
                                 "/dev/ttyÜSB0",
                                 "\xE2\x82\xAC 5",
                                 "\xF0\x9F\x98\x80",
                                 "\xEF\xBF\xBD",
                                 "tab\there \"quoted\" back\\slash"};
    for (const std::string& text : texts) {
        EXPECT_EQ(written_string(text), nlohmann::json(text).dump()) << text;
    }
}

// Text too long to gather in the writer goes to the string on its own, escaped the same.
TEST(JsonWriter, WritesLongTextInsideADocument) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += static_cast<char>(i % 128);
    }
    std::string out;
    {
        tools::JsonWriter json(out);
        json.begin_array();
        json.integer(1);
        json.string(text);
        json.string(text.substr(0, 84));
        json.end_array();
    }
    EXPECT_EQ(out, nlohmann::json({1, text, text.substr(0, 84)}).dump());
}

TEST(JsonWriter, NestsWithoutSpaces) {
    std::string out;
    tools::JsonWriter json(out);
    json.begin_object();
    json.key("a").integer(std::numeric_limits<std::int64_t>::min());
    json.key("b").begin_array();
    json.integer(std::uint8_t{255});
    json.begin_object();
    json.end_object();
    json.begin_array();
    json.end_array();
    json.null();
    json.boolean(true);
    json.end_array();
    json.key("c").boolean(false);
    json.key("d").begin_object();
    json.key("e").real(2.5f);
    json.key("f").character(0);
    json.end_object();
    json.end_object();
    const nlohmann::ordered_json expected = {
        {"a", std::numeric_limits<std::int64_t>::min()},
        {"b",
         {255, nlohmann::ordered_json::object(), nlohmann::ordered_json::array(), nullptr, true}},
        {"c", false},
        {"d", {{"e", 2.5}, {"f", nullptr}}}};
    EXPECT_EQ(out, expected.dump());
}

// One string holds many documents, each appended after the last.
TEST(JsonWriter, AppendsAfterWhatTheStringHolds) {
    std::string out = "{}\n";
    tools::JsonWriter(out).integer(7);
    tools::JsonWriter json(out);
    json.begin_array();
    json.end_array();
    EXPECT_EQ(out, "{}\n7[]");
}

}  // namespace
}  // namespace tarnwick::test
