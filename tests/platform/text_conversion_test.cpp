// Wide strings to UTF-8 and back, and object names to file names.

#include <gtest/gtest.h>

#include "platform/object_names.h"
#include "platform/wide_string.h"

namespace {

using tarnwick::platform::from_utf8;
using tarnwick::platform::object_file_name;
using tarnwick::platform::to_utf8;

TEST(WideStrings, RoundTripEveryPlaneAndReplaceWhatIsNotUnicode) {
    std::wstring text = L"COM3: Zürich \u6771\u4EAC \U0001F6F0";
    EXPECT_EQ(from_utf8(to_utf8(text)), text);
    EXPECT_EQ(to_utf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(to_utf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
    struct Case {
        const char* bytes;
        std::wstring expected;
    };
    const Case malformed[] = {
        {"a\x80z", L"a\uFFFDz"},                            // lone continuation byte
        {"\xC3", L"\uFFFD"},                                // truncated sequence
        {"\xC0\xAF", L"\uFFFD\uFFFD"},                      // overlong
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
    };
    for (const Case& c : malformed) {
        EXPECT_EQ(from_utf8(c.bytes), c.expected) << c.bytes;
    }
}

TEST(ObjectNames, AreEncodedIntoSafeFileNames) {
    struct Case {
        std::wstring name;
        const char* suffix;
        std::string expected;
    };
    const Case cases[] = {
        {L"GPS::EXCHANGE::data_stream", ".map", "GPS%3A%3AEXCHANGE%3A%3Adata_stream.map"},
        {L"TARNWICK_START", ".event", "TARNWICK_START.event"},
        {L"../../etc/passwd", ".mutex", "%2E.%2F..%2Fetc%2Fpasswd.mutex"},
        {L"a b%c.d", ".event", "a%20b%25c.d.event"},
        {L"ü", ".event", "%C3%BC.event"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(object_file_name(c.name, c.suffix), c.expected);
    }
    EXPECT_FALSE(object_file_name(std::wstring(100, L':'), ".map")) << "too long for a file name";
}

}  // namespace
