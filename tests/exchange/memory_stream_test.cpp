// The in-memory streams: never past their buffers, and a failure that stays reported.

#include "exchange/memory_stream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace GPS {
namespace {

TEST(MemoryStream, WritesUntilTheBufferIsFull) {
    unsigned char buffer[8] = {};
    memory_ostream out(buffer, 6);
    out.write("abcd", 4);
    out.write("", 0);
    out.write("ef", 2);  // exactly fits
    EXPECT_TRUE(out.good());
    EXPECT_EQ(out.length(), 6u);
    out.write("g", 1);
    EXPECT_FALSE(out.good());
    EXPECT_EQ(out.length(), 6u);
    EXPECT_EQ(buffer[6], 0);
    // A stream that lost bytes stays not good, so a record is never stored torn.
    out.write("", 0);
    EXPECT_FALSE(out.good());
    EXPECT_EQ(std::memcmp(out.data(), "abcdef", 6), 0);
    out.reset();
    EXPECT_TRUE(out.good());
    EXPECT_EQ(out.length(), 0u);
}

TEST(MemoryStream, NegativeWriteStoresNothing) {
    unsigned char buffer[4];
    memory_ostream out(buffer, sizeof buffer);
    out.write("a", -1);
    EXPECT_FALSE(out.good());
    EXPECT_EQ(out.length(), 0u);
}

TEST(MemoryStream, ReadsWhatIsThereAndNoMore) {
    const unsigned char bytes[] = {1, 2, 3, 4, 5};
    memory_istream in(bytes, sizeof bytes);
    unsigned char got[4] = {9, 9, 9, 9};
    in.read(got, 2);
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(got[1], 2);
    in.read(got, 4);  // only 3 left: nothing copied
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(got[0], 1);
    EXPECT_EQ(in.remaining(), 3u);
    in.read(got, 1);  // failure stays
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.position(), 2u);
}

TEST(MemoryStream, NegativeReadFails) {
    const unsigned char bytes[] = {1};
    memory_istream in(bytes, sizeof bytes);
    unsigned char got = 0;
    in.read(&got, -4);
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(got, 0);
}

}  // namespace
}  // namespace GPS
