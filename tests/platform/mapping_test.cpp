// Shared memory and mapped files: named mappings across processes, granularity offsets,
// extending files, and the file operations the stored-fix files rely on.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/platform_helper_process.h"

namespace {

using tarnwick::test::PlatformHelper;
using tarnwick::test::read_file;
using tarnwick::test::write_file;

class Mappings : public tarnwick::test::PrivateNamespace {
  protected:
    std::wstring wide_path(const char* leaf) const {
        std::string path = (home() / leaf).string();
        return std::wstring(path.begin(), path.end());
    }

    // An existing file opened as a recorder opens it: read-write, not shared.
    HANDLE open_for_writing(const char* leaf) const {
        return CreateFileForMappingW(wide_path(leaf).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
};

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i / 4096) % 26);
    }
    return bytes;
}

TEST_F(Mappings, NamedMemoryIsSharedWithAnotherProcessAndKeepsTheCreatorsSize) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 32768,
                                        L"GPS::EXCHANGE::in");
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[32767], 0) << "the whole size is mapped and zeroed";
    PlatformHelper writer({"write-mapping", "GPS::EXCHANGE::in", "hello"});
    ASSERT_EQ(writer.wait(), 0);
    EXPECT_EQ(std::string(view, 5), "hello");

    HANDLE again = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024,
                                      L"GPS::EXCHANGE::in");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    auto* second = static_cast<char*>(MapViewOfFile(again, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(second, nullptr);
    second[32767] = 'z';  // the creator's 32768 bytes, not the 1024 asked for
    EXPECT_EQ(view[32767], 'z');
    EXPECT_TRUE(UnmapViewOfFile(second));
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
    CloseHandle(again);
    CloseHandle(mapping);
}

TEST_F(Mappings, MappingOfAKilledHolderComesBackZeroed) {
    {
        PlatformHelper holder({"hold-mapping", "GPS::EXCHANGE::out", "stale"});
        ASSERT_EQ(holder.read_line(), "ready");
    }
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                        L"GPS::EXCHANGE::out");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 5), std::string(5, '\0'));
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

TEST_F(Mappings, AViewKeepsItsMappingAlive) {
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"kept");
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    CloseHandle(mapping);
    std::strcpy(view, "still here");
    HANDLE reopened = OpenFileMappingW(FILE_MAP_READ, FALSE, L"kept");
    ASSERT_NE(reopened, nullptr);
    auto* other = static_cast<char*>(MapViewOfFile(reopened, FILE_MAP_READ, 0, 0, 0));
    EXPECT_STREQ(other, "still here");
    UnmapViewOfFile(other);
    UnmapViewOfFile(view);
    CloseHandle(reopened);
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"kept"), nullptr);
}

TEST_F(Mappings, UnnamedMemoryViewsShareTheirBytes) {
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 200000, nullptr);
    auto* whole = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    auto* tail = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 131072, 0));
    ASSERT_NE(whole, nullptr);
    ASSERT_NE(tail, nullptr);
    tail[0] = 'x';
    EXPECT_EQ(whole[131072], 'x');
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr),
              nullptr)
        << "memory needs a size";
    UnmapViewOfFile(tail);
    UnmapViewOfFile(whole);
    CloseHandle(mapping);
}

TEST_F(Mappings, FileViewsStartAtGranularityOffsets) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    ASSERT_EQ(info.dwAllocationGranularity, 65536u);
    std::string content = pattern(200000);
    write_file(home() / "track.nmea", content);
    HANDLE file =
        CreateFileForMappingW(wide_path("track.nmea").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 200000u);
    EXPECT_EQ(high, 0u);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY | SEC_COMMIT, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    CloseHandle(file);  // the mapping keeps the file open

    struct Case {
        DWORD offset;
        SIZE_T bytes;
        bool works;
        DWORD error;
    };
    const Case cases[] = {
        {0, 0, true, 0},
        {65536, 1000, true, 0},
        {131072, 0, true, 0},
        {4096, 10, false, ERROR_MAPPED_ALIGNMENT},
        {65537, 10, false, ERROR_MAPPED_ALIGNMENT},
        {196608, 10000, false, ERROR_INVALID_PARAMETER},
        {262144, 0, false, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        auto* view =
            static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, c.offset, c.bytes));
        ASSERT_EQ(view != nullptr, c.works) << "offset " << c.offset;
        if (view != nullptr) {
            std::size_t length = c.bytes != 0 ? c.bytes : content.size() - c.offset;
            EXPECT_EQ(std::memcmp(view, content.data() + c.offset, length), 0);
            UnmapViewOfFile(view);
        } else {
            EXPECT_EQ(GetLastError(), c.error) << "offset " << c.offset;
        }
    }
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << "a read-only mapping";
    CloseHandle(mapping);
}

TEST_F(Mappings, ALargerMappingExtendsTheFileAndAppendsAtTheTail) {
    write_file(home() / "record.nmea", pattern(70000));
    HANDLE file = open_for_writing("record.nmea");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD old_size = GetFileSize(file, nullptr);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, old_size + 100, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(GetFileSize(file, nullptr), old_size + 100);
    DWORD slack = old_size % 65536;
    auto* view = static_cast<char*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, old_size - slack, slack + 100));
    ASSERT_NE(view, nullptr);
    std::memset(view + slack, '!', 100);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
    std::string stored = read_file(home() / "record.nmea");
    EXPECT_EQ(stored.substr(0, 70000), pattern(70000));
    EXPECT_EQ(stored.substr(70000), std::string(100, '!'));
}

TEST_F(Mappings, AFileShortenedUnderAWritableViewTakesTheViewsBytesBack) {
    // Another process may shorten a file while it is mapped; the view's stores must not fault,
    // and unmapping puts the view's bytes where they belong.
    write_file(home() / "record.nmea", pattern(70000));
    HANDLE file = open_for_writing("record.nmea");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 70000 + 5000, nullptr);
    ASSERT_NE(mapping, nullptr);
    CloseHandle(file);
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 65536, 9464));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 4464), pattern(70000).substr(65536));

    ASSERT_EQ(truncate((home() / "record.nmea").c_str(), 100), 0);
    std::memset(view + 4464, '!', 5000);
    EXPECT_TRUE(UnmapViewOfFile(view));
    CloseHandle(mapping);

    std::string stored = read_file(home() / "record.nmea");
    ASSERT_EQ(stored.size(), 75000u);
    EXPECT_EQ(stored.substr(0, 100), pattern(100));
    EXPECT_EQ(stored.substr(100, 65436), std::string(65436, '\0')) << "what the other cut";
    EXPECT_EQ(stored.substr(65536, 4464), pattern(70000).substr(65536));
    EXPECT_EQ(stored.substr(70000), std::string(5000, '!'));
}

TEST_F(Mappings, FileViewsShowTheFileAsItWasWhenMapped) {
    write_file(home() / "record.nmea", pattern(8192));
    HANDLE file = open_for_writing("record.nmea");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    CloseHandle(file);
    auto* reading = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    auto* copying = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_COPY, 0, 0, 0));
    ASSERT_NE(reading, nullptr);
    ASSERT_NE(copying, nullptr);
    ASSERT_EQ(truncate((home() / "record.nmea").c_str(), 0), 0);
    EXPECT_EQ(std::string(reading, 8192), pattern(8192)) << "no fault past the new end";
    copying[0] = '#';
    EXPECT_TRUE(UnmapViewOfFile(reading));
    EXPECT_TRUE(UnmapViewOfFile(copying));
    CloseHandle(mapping);
    EXPECT_EQ(read_file(home() / "record.nmea"), "") << "neither view writes the file";
}

TEST_F(Mappings, EmptyFileCannotBeMappedWholeAndReadOnlyCannotGrow) {
    write_file(home() / "empty.rmc", "");
    HANDLE file = CreateFileForMappingW(wide_path("empty.rmc").c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 10, nullptr), nullptr);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 10, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(file);
}

TEST_F(Mappings, CreationDispositionsAndSharing) {
    auto path = wide_path("curr_valid.rmc");
    HANDLE created = CreateFileForMappingW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(CreateFileForMappingW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(created);
    write_file(home() / "curr_valid.rmc", "content");
    EXPECT_EQ(CreateFileForMappingW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    HANDLE reader = CreateFileForMappingW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
    HANDLE second_reader = CreateFileForMappingW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                 nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(second_reader, INVALID_HANDLE_VALUE) << "readers share";
    EXPECT_EQ(CreateFileForMappingW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(read_file(home() / "curr_valid.rmc"), "content")
        << "a refused open truncates nothing";
    CloseHandle(second_reader);
    CloseHandle(reader);
    HANDLE rewritten = CreateFileForMappingW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(rewritten, nullptr), 0u);
    CloseHandle(rewritten);
    EXPECT_EQ(CreateFileForMappingW(wide_path("missing").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Mappings, MoveRefusesAnExistingTargetAndDeleteReportsMissingFiles) {
    write_file(home() / "curr_valid.rmc", "current");
    write_file(home() / "prev_valid.rmc", "previous");
    auto current = wide_path("curr_valid.rmc");
    auto previous = wide_path("prev_valid.rmc");
    EXPECT_FALSE(MoveFileW(current.c_str(), previous.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(read_file(home() / "prev_valid.rmc"), "previous");
    EXPECT_TRUE(DeleteFileW(previous.c_str()));
    EXPECT_TRUE(MoveFileW(current.c_str(), previous.c_str()));
    EXPECT_EQ(read_file(home() / "prev_valid.rmc"), "current");
    EXPECT_FALSE(DeleteFileW(current.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(MoveFileW(current.c_str(), previous.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(ModuleFileName, IsTheExecutablePathAndTruncatesWithAnError) {
    wchar_t path[1024];
    DWORD length = GetModuleFileNameW(nullptr, path, 1024);
    ASSERT_GT(length, 0u);
    char expected[1024] = {};
    ASSERT_GT(readlink("/proc/self/exe", expected, sizeof expected - 1), 0);
    EXPECT_EQ(std::wstring(path, length), std::wstring(expected, expected + std::strlen(expected)));
    wchar_t tiny[4];
    EXPECT_EQ(GetModuleFileNameW(nullptr, tiny, 4), 4u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(tiny[3], L'\0');
}

}  // namespace
