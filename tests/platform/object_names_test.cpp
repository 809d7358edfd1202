// Object names to file names.

#include <gtest/gtest.h>

#include "platform/object_names.h"

namespace {

using tarnwick::platform::object_file_name;

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
