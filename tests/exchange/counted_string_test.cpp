// Counted wide strings: the wire form (UTF-16LE behind an int32 count) and the refusal of
// counts no honest writer produces.

#include "exchange/counted_string.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "exchange/memory_stream.h"

// Largest single allocation while armed: read_wstring must never ask for much, whatever count a
// client sends.
namespace {
std::atomic<bool> watching{false};
std::atomic<std::size_t> largest_allocation{0};

void* watched_allocation(std::size_t size) {
    if (watching.load(std::memory_order_relaxed)) {
        std::size_t seen = largest_allocation.load(std::memory_order_relaxed);
        while (size > seen && !largest_allocation.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
    return watched_allocation(size);
}
void* operator new[](std::size_t size) {
    return watched_allocation(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace GPS {
namespace {

std::vector<unsigned char> written(const wchar_t* s) {
    std::vector<unsigned char> bytes(70000);
    memory_ostream out(bytes.data(), bytes.size());
    write_wstring(out, s);
    EXPECT_TRUE(out.good());
    bytes.resize(out.length());
    return bytes;
}

std::vector<unsigned char> counted(std::int32_t count, std::vector<unsigned char> units) {
    const auto u = static_cast<std::uint32_t>(count);
    std::vector<unsigned char> bytes = {
        static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
        static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    bytes.insert(bytes.end(), units.begin(), units.end());
    return bytes;
}

class CountingStream final : public ostream {
  public:
    void write(const void*, int n) override { sizes.push_back(n); }
    std::vector<int> sizes;
};

TEST(CountedString, WireForm) {
    EXPECT_EQ(written(L"COM1:"),
              (std::vector<unsigned char>{5, 0, 0, 0, 'C', 0, 'O', 0, 'M', 0, '1', 0, ':', 0}));
    EXPECT_EQ(written(nullptr), (std::vector<unsigned char>{0, 0, 0, 0}));
    EXPECT_EQ(written(L""), (std::vector<unsigned char>{0, 0, 0, 0}));
    // Beyond the basic plane: one surrogate pair, counted as two units.
    EXPECT_EQ(written(L"\U0001F600\u00E9"),
              (std::vector<unsigned char>{3, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE, 0xE9, 0x00}));
    // A lone surrogate goes out as it is; a value beyond Unicode as U+FFFD.
    const wchar_t odd[] = {static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0x110000), 0};
    EXPECT_EQ(written(odd), (std::vector<unsigned char>{2, 0, 0, 0, 0x00, 0xDC, 0xFD, 0xFF}));
}

TEST(CountedString, OneWriteForTheCountOneForTheCharacters) {
    const struct {
        const wchar_t* text;
        std::vector<int> sizes;
    } cases[] = {{nullptr, {4}}, {L"", {4, 0}}, {L"COM1:", {4, 10}}};
    for (const auto& c : cases) {
        CountingStream out;
        write_wstring(out, c.text);
        EXPECT_EQ(out.sizes, c.sizes);
    }
}

TEST(CountedString, RoundTrips) {
    for (const wchar_t* text : {L"COM1:", L"x", L"/home/user/tracks/\u00FCberfahrt.nmea",
                                L"\U0001F600", L"a\U00010000z"}) {
        const std::vector<unsigned char> bytes = written(text);
        memory_istream in(bytes.data(), bytes.size());
        bool refused = true;
        const owned_wstring back = read_wstring(in, refused);
        ASSERT_NE(back, nullptr);
        EXPECT_FALSE(refused);
        EXPECT_EQ(std::wstring(back.get()), std::wstring(text));
        EXPECT_EQ(in.remaining(), 0u);
    }
}

TEST(CountedString, ZeroCountIsNullNotRefused) {
    const std::vector<unsigned char> bytes = counted(0, {});
    memory_istream in(bytes.data(), bytes.size());
    bool refused = true;
    EXPECT_EQ(read_wstring(in, refused), nullptr);
    EXPECT_FALSE(refused);
}

TEST(CountedString, RefusesBadCountsWithoutLargeAllocation) {
    const struct {
        const char* name;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"negative", counted(-1, {'a', 0})},
        {"most negative", counted(INT32_MIN, {})},
        {"one above the limit", counted(max_wstring_units + 1, std::vector<unsigned char>(40000))},
        {"huge", counted(INT32_MAX, {'a', 0})},
        {"more than delivered", counted(10, {'a', 0, 'b', 0, 'c', 0})},
        {"limit but nothing delivered", counted(max_wstring_units, {})},
        {"count cut short", {5, 0}},
        {"empty stream", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        memory_istream in(c.bytes.data(), c.bytes.size());
        bool refused = false;
        largest_allocation = 0;
        watching = true;
        const owned_wstring result = read_wstring(in, refused);
        watching = false;
        EXPECT_EQ(result, nullptr);
        EXPECT_TRUE(refused);
        EXPECT_LE(largest_allocation.load(), 2u * max_wstring_units + 16);
    }
}

TEST(CountedString, LongestStringIsAccepted) {
    const std::wstring longest(max_wstring_units, L'w');
    const std::vector<unsigned char> bytes = written(longest.c_str());
    EXPECT_EQ(bytes.size(), 4u + 2u * max_wstring_units);
    memory_istream in(bytes.data(), bytes.size());
    const owned_wstring back = read_wstring(in);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::wstring(back.get()), longest);
}

TEST(CountedString, TooLongToWriteBecomesAZeroCount) {
    const std::wstring too_long(max_wstring_units + 1, L'w');
    // The limit counts UTF-16 units: one pair at the end tips a string of max - 1 characters.
    const std::wstring pair_tips = std::wstring(max_wstring_units - 1, L'w') + L"\U0001F600";
    for (const std::wstring& text : {too_long, pair_tips}) {
        unsigned char bytes[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
        memory_ostream out(bytes, sizeof bytes);
        EXPECT_FALSE(write_wstring(out, text.c_str()));
        ASSERT_EQ(out.length(), 4u);
        EXPECT_EQ(bytes[0] | bytes[1] | bytes[2] | bytes[3], 0);
    }
}

TEST(CountedString, UnpairedSurrogatesAreKept) {
    const std::vector<unsigned char> bytes =
        counted(5, {0x00, 0xD8, 'A', 0, 0x00, 0xDC, 'B', 0, 0x3D, 0xD8});
    memory_istream in(bytes.data(), bytes.size());
    const owned_wstring back = read_wstring(in);
    ASSERT_NE(back, nullptr);
    const std::wstring expected = {static_cast<wchar_t>(0xD800), L'A', static_cast<wchar_t>(0xDC00),
                                   L'B', static_cast<wchar_t>(0xD83D)};
    EXPECT_EQ(std::wstring(back.get()), expected);
}

TEST(CountedString, AlwaysTerminated) {
    // Embedded NULs arrive as they are; the string still ends after the counted characters.
    const std::vector<unsigned char> bytes = counted(3, {'a', 0, 0, 0, 'b', 0});
    memory_istream in(bytes.data(), bytes.size());
    const owned_wstring back = read_wstring(in);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back[0], L'a');
    EXPECT_EQ(back[1], L'\0');
    EXPECT_EQ(back[2], L'b');
    EXPECT_EQ(back[3], L'\0');
}

}  // namespace
}  // namespace GPS
