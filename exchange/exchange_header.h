#pragma once
// The 12-byte header at the start of every exchange channel's shared memory: capacity, sequence
// and payload length, each a little-endian 32-bit integer. Any process of the session can write
// this memory, so every access is a single untorn load or store: a value is read once, checked,
// and only the checked copy is used.

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace GPS::exchange_header {

static_assert(
    std::endian::native == std::endian::little,
    "the channel header is stored in the machine's byte order, which must be little-endian");

constexpr int capacity_offset = 0;
constexpr int sequence_offset = 4;
constexpr int length_offset = 8;
// Where the payload starts.
constexpr int size = 12;

inline std::atomic_ref<std::int32_t> field(std::byte* base, int offset) noexcept {
    return std::atomic_ref<std::int32_t>(*reinterpret_cast<std::int32_t*>(base + offset));
}

inline std::int32_t load(std::byte* base, int offset) noexcept {
    return field(base, offset).load(std::memory_order_relaxed);
}

inline void store(std::byte* base, int offset, std::int32_t value) noexcept {
    field(base, offset).store(value, std::memory_order_relaxed);
}

}  // namespace GPS::exchange_header
