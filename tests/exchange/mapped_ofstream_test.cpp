// GPS::ofstream over real files.
#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "exchange/mapped_ifstream.h"
#include "exchange/mapped_ofstream.h"
#include "platform/win32.h"
#include "tests/support/test_support.h"

namespace {

using tarnwick::test::read_file;
using tarnwick::test::TempDir;
using tarnwick::test::write_file;

class MappedOfstream : public testing::Test {
  protected:
    void SetUp() override { setenv("TARNWICK_HOME", dir_.path().c_str(), 1); }

    std::filesystem::path path(const char* name) const { return dir_.path() / name; }

    static void write(GPS::ofstream& out, const std::string& bytes) {
        out.write(bytes.data(), static_cast<int>(bytes.size()));
    }

    TempDir dir_;
};

TEST_F(MappedOfstream, OpenAndCloseWithoutWritesLeaveTheFileAlone) {
    const auto existing = path("existing");
    write_file(existing, "untouched");
    {
        GPS::ofstream out(existing.wstring().c_str(), 32768);
        EXPECT_TRUE(out.close());
    }
    EXPECT_EQ(read_file(existing), "untouched");
    { GPS::ofstream never(path("never").wstring().c_str(), 32768); }
    EXPECT_FALSE(std::filesystem::exists(path("never")));
}

TEST_F(MappedOfstream, TheFirstFileWriteTruncatesAndLaterOnesAppend) {
    const auto target = path("target");
    write_file(target, std::string(100000, 'o'));
    GPS::ofstream out;
    ASSERT_TRUE(out.open(target.wstring().c_str(), 10));
    EXPECT_FALSE(out.open(target.wstring().c_str(), 10)) << "already open";

    write(out, "123456");
    write(out, "789");
    EXPECT_EQ(read_file(target).size(), 100000u) << "nothing reaches the file before a flush";
    write(out, "abcdef");  // no room: the waiting bytes go first
    EXPECT_EQ(read_file(target), "123456789");
    write(out, "ghij");  // exactly fills the buffer
    EXPECT_EQ(read_file(target), "123456789");
    EXPECT_TRUE(out.close());
    EXPECT_EQ(read_file(target), "123456789abcdefghij");

    // Opened again, the first write starts the file anew.
    ASSERT_TRUE(out.open(target.wstring().c_str(), 10));
    write(out, "new");
    EXPECT_TRUE(out.close());
    EXPECT_EQ(read_file(target), "new");
}

TEST_F(MappedOfstream, AppendsAtOddSizesAcrossTheAllocationGranularity) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const std::size_t granularity = info.dwAllocationGranularity;
    ASSERT_GT(granularity, 0u);

    const auto target = path("odd");
    std::string expected;
    {
        GPS::ofstream out(target.wstring().c_str(), 1021);
        const int sizes[] = {7, 333, 1021, 1, 999, 512, 1020};
        for (std::size_t i = 0; expected.size() < 3 * granularity + 17; ++i) {
            std::string chunk(static_cast<std::size_t>(sizes[i % std::size(sizes)]), '\0');
            for (std::size_t k = 0; k < chunk.size(); ++k) {
                chunk[k] = static_cast<char>('A' + (expected.size() + k) % 53);
            }
            write(out, chunk);
            expected += chunk;
        }
    }
    EXPECT_EQ(read_file(target), expected);
}

TEST_F(MappedOfstream, AWriteLargerThanTheBufferIsRefused) {
    const auto target = path("large");
    GPS::ofstream out(target.wstring().c_str(), 10);
    write(out, "12");
    write(out, std::string(11, 'x'));
    out.write("x", -1);
    write(out, "34");
    EXPECT_TRUE(out.close());
    EXPECT_EQ(read_file(target), "1234");
}

TEST_F(MappedOfstream, AFileRemovedUnderTheStreamClosesItOnTheNextFileWrite) {
    const auto target = path("removed");
    GPS::ofstream out(target.wstring().c_str(), 10);
    write(out, "123456");
    write(out, "789012");  // creates the file with the first six bytes
    ASSERT_EQ(read_file(target), "123456");
    std::filesystem::remove(target);

    write(out, "abcdef");  // the file write fails: the stream closes itself
    write(out, "later");
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(out.close());
    EXPECT_FALSE(std::filesystem::exists(target));

    // A closed stream can be opened again.
    ASSERT_TRUE(out.open(target.wstring().c_str(), 10));
    write(out, "back");
    EXPECT_TRUE(out.close());
    EXPECT_EQ(read_file(target), "back");
}

TEST_F(MappedOfstream, CloseReportsAFinalWriteThatFailed) {
    GPS::ofstream out((dir_.path() / "no-such-dir" / "file").wstring().c_str(), 32768);
    write(out, "lost");
    EXPECT_FALSE(out.close());

    GPS::ofstream closed;
    write(closed, "ignored");
    EXPECT_TRUE(closed.close());
    EXPECT_FALSE(closed.open(path("zero").wstring().c_str(), 0));
}

// A recording onto a file system that fills up: the file write that finds no room fails, and
// the stream closes itself, as when the file cannot be written at all. (A mapped view of a file
// whose blocks the file system cannot give would fault instead.) A file system small enough to
// fill needs a mount of its own, which only a child process in a mount namespace can make; where
// the machine allows none, the test is skipped.
TEST_F(MappedOfstream, AFileSystemWithoutRoomFailsTheWriteAndClosesTheStream) {
    constexpr int cannot_mount = 77;
    const std::filesystem::path small = path("small");
    std::filesystem::create_directory(small);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool mounted =
            (unshare(CLONE_NEWNS) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0) &&
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            mount("tarnwick-test", small.c_str(), "tmpfs", 0, "size=64k") == 0;
        if (!mounted) {
            _exit(cannot_mount);
        }
        GPS::ofstream out((small / "recording.nmea").wstring().c_str(), 32768);
        const std::string sentence(1000, 'x');
        for (int i = 0; i < 200; ++i) {
            write(out, sentence);
        }
        // Only a closed stream opens again.
        _exit(out.open((small / "other.nmea").wstring().c_str()) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == cannot_mount) {
        GTEST_SKIP() << "no mount namespace with a small file system here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(MappedOfstream, WhatOneStreamWritesTheOtherReadsBack) {
    const auto target = path("round");
    {
        GPS::ofstream out(target.wstring().c_str(), 32768);
        const int value = 0x01020304;
        out.write(&value, sizeof value);
        write(out, "tail");
    }
    GPS::ifstream in;
    ASSERT_TRUE(in.open(target.wstring().c_str()));
    int value = 0;
    char tail[5] = {};
    in.read(&value, sizeof value);
    in.read(tail, 4);
    EXPECT_EQ(value, 0x01020304);
    EXPECT_STREQ(tail, "tail");
    EXPECT_TRUE(in.eof());
}

TEST_F(MappedOfstream, WritesFromSeveralThreadsStayWhole) {
    const auto target = path("threads");
    constexpr int writes_per_thread = 2000;
    {
        GPS::ofstream out(target.wstring().c_str(), 100);
        std::vector<std::thread> writers;
        for (char id : {'a', 'b', 'c'}) {
            writers.emplace_back([&out, id] {
                const std::string token(8, id);
                for (int i = 0; i < writes_per_thread; ++i) {
                    out.write(token.data(), static_cast<int>(token.size()));
                }
            });
        }
        for (auto& writer : writers) {
            writer.join();
        }
    }
    const std::string content = read_file(target);
    ASSERT_EQ(content.size(), 3u * writes_per_thread * 8);
    for (std::size_t at = 0; at < content.size(); at += 8) {
        ASSERT_EQ(content.substr(at, 8), std::string(8, content[at])) << "torn at " << at;
    }
}

}  // namespace
