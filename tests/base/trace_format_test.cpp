#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <string>

#include "base/trace.h"
#include "base/trace_format.h"

namespace {

std::string format(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = tarnwick::format_trace_message(fmt, args);
    va_end(args);
    return text;
}

TEST(TraceFormat, WideAndNarrowStrings) {
    EXPECT_EQ(format(L"CPort::create_file(%s): handle is ivalid, err = %d", L"COM3:", 2),
              "CPort::create_file(COM3:): handle is ivalid, err = 2");
    EXPECT_EQ(format(L"CNMEAIO::read_memory: memory\n%S\n", "$GPRMC"),
              "CNMEAIO::read_memory: memory\n$GPRMC\n");
    EXPECT_EQ(format(L"[%s]", static_cast<const wchar_t*>(nullptr)), "[(null)]");
    EXPECT_EQ(format(L"%s", L"\u00e9\U0001F600"), "\xc3\xa9\xf0\x9f\x98\x80");
}

// The trace writes what the file names and text files get: valid UTF-8 whatever it is given.
TEST(TraceFormat, CharactersThatAreNotUnicodeBecomeTheReplacementCharacter) {
    const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'z', L'\0'};
    EXPECT_EQ(format(L"%s", surrogate), "a\xEF\xBF\xBDz");
    EXPECT_EQ(format(surrogate), "a\xEF\xBF\xBDz");
    EXPECT_EQ(format(L"%c", 0xDC00), "\xEF\xBF\xBD");
}

TEST(TraceFormat, Numbers) {
    EXPECT_EQ(format(L"stamp=%I64d, size = %d", static_cast<std::int64_t>(-1234567890123), 7),
              "stamp=-1234567890123, size = 7");
    EXPECT_EQ(format(L"%f sec", 25.5), "25.500000 sec");
    EXPECT_EQ(format(L"%.2f", 0.333), "0.33");
    EXPECT_EQ(format(L"%02X%%", 0xAu), "0A%");
    EXPECT_EQ(format(L"%c", 'K'), "K");
}

TEST(TraceFormat, UnknownConversionIsShownNotConsumed) {
    EXPECT_EQ(format(L"%q %d", 5), "%q 5");
    EXPECT_EQ(format(L"trailing %"), "trailing ");
}

TEST(Trace, ReturnsTheFormatWhetherOrNotEnabled) {
    const wchar_t* fmt = L"CDataServer::init";
    EXPECT_EQ(trace(fmt), fmt);
}

}  // namespace
