// GPS::ifstream over real files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "exchange/mapped_ifstream.h"
#include "tests/support/test_support.h"

namespace {

using tarnwick::test::TempDir;
using tarnwick::test::write_file;

class MappedIfstream : public testing::Test {
  protected:
    void SetUp() override { setenv("TARNWICK_HOME", dir_.path().c_str(), 1); }

    std::wstring file(const char* name, const std::string& bytes) {
        const std::filesystem::path path = dir_.path() / name;
        write_file(path, bytes);
        return path.wstring();
    }

    TempDir dir_;
};

TEST_F(MappedIfstream, FilesThatCannotBeMappedDoNotOpen) {
    GPS::ifstream in;
    EXPECT_FALSE(in.open(file("empty", "").c_str()));
    EXPECT_FALSE(in.open((dir_.path() / "missing").wstring().c_str()));
    EXPECT_FALSE(in.open(nullptr));
    EXPECT_TRUE(in.eof());
    EXPECT_TRUE(in.close());

    ASSERT_TRUE(in.open(file("data", "abc").c_str()));
    EXPECT_FALSE(in.open(file("other", "xyz").c_str())) << "already open";
    char byte = 0;
    in.read(&byte, 1);
    EXPECT_EQ(byte, 'a');
}

// The owner of a replay file may shorten it while the service replays it: the stream goes on
// with the file as it was opened instead of faulting on the pages past the new end.
TEST_F(MappedIfstream, AFileShortenedWhileOpenIsReadAsItWasOpened) {
    std::string content;
    for (int line = 0; content.size() < 3 * 4096; ++line) {
        content += "$GPTXT,line " + std::to_string(line) + "\r\n";
    }
    GPS::ifstream in;
    ASSERT_TRUE(in.open(file("replay.nmea", content).c_str()));
    std::filesystem::resize_file(dir_.path() / "replay.nmea", 10);
    std::string read(content.size(), '\0');
    in.read(read.data(), static_cast<int>(read.size()));
    EXPECT_EQ(read, content);
    EXPECT_TRUE(in.eof());
}

TEST_F(MappedIfstream, ReadingExactlyTheRestReachesTheEndAndOneByteMoreThrows) {
    GPS::ifstream in;
    ASSERT_TRUE(in.open(file("five", "12345").c_str()));
    char bytes[6] = {};
    in.read(bytes, 2);
    EXPECT_STREQ(bytes, "12");
    EXPECT_FALSE(in.eof());

    EXPECT_THROW(in.read(bytes, 4), GPS::ifstream::out_of_range);
    EXPECT_TRUE(in.failed());
    EXPECT_STREQ(bytes, "12") << "a refused read copies nothing";

    in.read(bytes, 3);
    EXPECT_STREQ(bytes, "345") << "the position did not move on the refused read";
    EXPECT_TRUE(in.eof());
    in.read(bytes, 0);
    EXPECT_THROW(in.read(bytes, 1), GPS::ifstream::out_of_range);
    EXPECT_THROW(in.read(bytes, -1), GPS::ifstream::out_of_range);

    in.rewind();
    EXPECT_FALSE(in.eof());
    in.read(bytes, 5);
    EXPECT_STREQ(bytes, "12345");
}

TEST_F(MappedIfstream, AClosedStreamIsAtItsEndAndRefusesReads) {
    GPS::ifstream in;
    ASSERT_TRUE(in.open(file("data", "abc").c_str()));
    EXPECT_TRUE(in.close());
    EXPECT_TRUE(in.close());
    EXPECT_TRUE(in.eof());
    in.rewind();
    EXPECT_TRUE(in.eof());
    char byte = 0;
    EXPECT_THROW(in.read(&byte, 1), GPS::ifstream::out_of_range);

    // It can be opened again, also on another file.
    ASSERT_TRUE(in.open(file("again", "z").c_str()));
    in.read(&byte, 1);
    EXPECT_EQ(byte, 'z');
}

TEST_F(MappedIfstream, AFileRemovedWhileOpenIsStillReadThroughItsMapping) {
    GPS::ifstream in;
    const std::wstring path = file("gone", "kept");
    ASSERT_TRUE(in.open(path.c_str()));
    std::filesystem::remove(std::filesystem::path(path));
    char bytes[5] = {};
    in.read(bytes, 4);
    EXPECT_STREQ(bytes, "kept");
}

}  // namespace
