#pragma once
// The block a shared-memory producer publishes: at the start of the 4096-byte mapping
// "<name>_DataReady_map", a uint32 text size and an int64 stamp (little-endian, no padding),
// then the text. The producer owns the mutex "<name>_DataGuard_mutex" and the auto-reset event
// "<name>_DataReady_event".

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarnwick::protocol::producer_block {

constexpr std::size_t mapping_size = 4096;
constexpr std::size_t size_offset = 0;
constexpr std::size_t stamp_offset = 4;
constexpr std::size_t text_offset = 12;
constexpr std::size_t max_text = mapping_size - text_offset;  // 4084

// Object names are built in a buffer of 64 wide characters, terminator included; the longest
// suffix has 16, so a base name may have at most 47.
constexpr std::size_t name_buffer_size = 64;
constexpr std::size_t max_base_name = 47;

inline std::wstring map_name(const std::wstring& base) {
    return base + L"_DataReady_map";
}
inline std::wstring mutex_name(const std::wstring& base) {
    return base + L"_DataGuard_mutex";
}
inline std::wstring event_name(const std::wstring& base) {
    return base + L"_DataReady_event";
}

// What a reader takes from one block.
struct contents {
    std::uint32_t size;     // the size field as the producer wrote it
    std::int64_t stamp;     // the producer's stamp, only traced
    std::size_t text_size;  // the text bytes taken: size, at most max_text
};

// Copies the header and the text of the block at `view` (mapping_size bytes) into `text`
// (max_text + 1 bytes), NUL-terminated after the text. The size field does not bound itself: a
// producer's size beyond the mapping takes only the text the mapping holds.
inline contents copy_block(const void* view, char* text) noexcept {
    const auto* bytes = static_cast<const char*>(view);
    contents block{};
    std::memcpy(&block.size, bytes + size_offset, sizeof block.size);
    std::memcpy(&block.stamp, bytes + stamp_offset, sizeof block.stamp);
    block.text_size = std::min<std::size_t>(block.size, max_text);
    std::memcpy(text, bytes + text_offset, block.text_size);
    text[block.text_size] = '\0';
    return block;
}

// Writes one block at `view` (mapping_size bytes): the size and stamp little-endian, then the
// text, cut off after max_text bytes. Returns the text bytes written.
inline std::size_t write_block(void* view, std::string_view text, std::int64_t stamp) noexcept {
    auto* bytes = static_cast<unsigned char*>(view);
    const std::size_t size = std::min(text.size(), max_text);
    const auto store = [bytes](std::size_t at, std::uint64_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) {
            bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
        }
    };
    store(size_offset, size, sizeof(std::uint32_t));
    store(stamp_offset, static_cast<std::uint64_t>(stamp), sizeof(std::int64_t));
    std::memcpy(bytes + text_offset, text.data(), size);
    return size;
}

}  // namespace tarnwick::protocol::producer_block
