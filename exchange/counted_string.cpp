#include "exchange/counted_string.h"

#include <cstdint>
#include <vector>

#include "base/trace.h"

namespace GPS {
namespace {

constexpr char32_t replacement_character = 0xFFFD;
// With a 16-bit wchar_t the pairs simply stay pairs; with a 32-bit one they are joined.
constexpr bool wide_holds_any_character = sizeof(wchar_t) >= 4;

bool is_high_surrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Number of UTF-16 code units a wide character takes on the wire.
int utf16_width(wchar_t c) {
    const auto code = static_cast<std::uint32_t>(c);
    return code > 0xFFFF && code <= 0x10FFFF ? 2 : 1;
}

void put_unit(unsigned char*& out, std::uint32_t unit) {
    *out++ = static_cast<unsigned char>(unit & 0xFF);
    *out++ = static_cast<unsigned char>((unit >> 8) & 0xFF);
}

void put_count(ostream& out, std::int32_t n) {
    const auto u = static_cast<std::uint32_t>(n);
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
        static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    out.write(bytes, 4);
}

}  // namespace

bool write_wstring(ostream& out, const wchar_t* s) {
    if (s == nullptr) {
        put_count(out, 0);
        return true;
    }
    long units = 0;
    for (const wchar_t* p = s; *p != L'\0' && units <= max_wstring_units; ++p) {
        units += utf16_width(*p);
    }
    if (units > max_wstring_units) {
        trace(L"write_wstring(%p): string longer than %d code units written as empty", s,
              max_wstring_units);
        put_count(out, 0);
        return false;
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(units) * 2);
    unsigned char* cursor = bytes.data();
    for (const wchar_t* p = s; *p != L'\0'; ++p) {
        const auto code = static_cast<std::uint32_t>(*p);
        if (code <= 0xFFFF) {
            put_unit(cursor, code);
        } else if (code <= 0x10FFFF) {
            const std::uint32_t offset = code - 0x10000;
            put_unit(cursor, 0xD800 + (offset >> 10));
            put_unit(cursor, 0xDC00 + (offset & 0x3FF));
        } else {
            // Not a character at all (wchar_t is wider than Unicode): keep the count honest.
            put_unit(cursor, replacement_character);
        }
    }
    put_count(out, static_cast<std::int32_t>(units));
    out.write(bytes.data(), static_cast<int>(bytes.size()));
    return true;
}

owned_wstring read_wstring(istream& in, bool& refused) {
    refused = false;
    unsigned char count_bytes[4] = {};
    in.read(count_bytes, 4);
    if (in.failed()) {
        trace(L"read_wstring: count not delivered");
        refused = true;
        return nullptr;
    }
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(count_bytes[0]) |
                                                 static_cast<std::uint32_t>(count_bytes[1]) << 8 |
                                                 static_cast<std::uint32_t>(count_bytes[2]) << 16 |
                                                 static_cast<std::uint32_t>(count_bytes[3]) << 24);
    if (count == 0) {
        return nullptr;
    }
    if (count < 0 || count > max_wstring_units) {
        trace(L"read_wstring(%d): count refused", count);
        refused = true;
        return nullptr;
    }
    // The count is bounded above, so both allocations stay small whatever the client sent.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count) * 2);
    in.read(bytes.data(), static_cast<int>(bytes.size()));
    if (in.failed()) {
        trace(L"read_wstring(%d): characters not delivered", count);
        refused = true;
        return nullptr;
    }
    owned_wstring text(new wchar_t[static_cast<std::size_t>(count) + 1]);
    std::size_t length = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        std::uint32_t unit = bytes[2 * i] | static_cast<std::uint32_t>(bytes[2 * i + 1]) << 8;
        if (wide_holds_any_character && is_high_surrogate(unit) &&
            i + 1 < static_cast<std::size_t>(count)) {
            const std::uint32_t next =
                bytes[2 * i + 2] | static_cast<std::uint32_t>(bytes[2 * i + 3]) << 8;
            if (is_low_surrogate(next)) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        text[length++] = static_cast<wchar_t>(unit);
    }
    text[length] = L'\0';
    return text;
}

owned_wstring read_wstring(istream& in) {
    bool refused = false;
    return read_wstring(in, refused);
}

}  // namespace GPS
