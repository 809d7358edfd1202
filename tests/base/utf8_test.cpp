// Wide strings to UTF-8 and back.

#include <gtest/gtest.h>

#include "base/utf8.h"

namespace {

using tarnwick::from_utf8;
using tarnwick::to_utf8;

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

}  // namespace
