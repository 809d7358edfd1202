#pragma once
// One record field to or from a byte stream: a single transfer call, little-endian whatever
// the host, floats as their IEEE-754 single-precision bits.

#include <bit>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "exchange/byte_stream.h"

namespace tarnwick::nmea {

static_assert(std::numeric_limits<float>::is_iec559, "records carry IEEE-754 floats");

template <typename T>
using field_bits_t =
    std::conditional_t<sizeof(T) == 1, std::uint8_t,
                       std::conditional_t<sizeof(T) == 2, std::uint16_t, std::uint32_t>>;

// By reference, so that on a little-endian host the member's own bytes go out without a copy.
// A template on the stream: through a final stream class the write is inlined.
template <typename Out, typename T>
inline void write_field(Out& out, const T& value) {
    static_assert(std::is_base_of_v<GPS::ostream, Out>);
    static_assert(std::is_arithmetic_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4));
    if constexpr (std::endian::native == std::endian::little) {
        out.write(&value, static_cast<int>(sizeof(T)));
    } else {
        const auto bits = std::bit_cast<field_bits_t<T>>(value);
        unsigned char bytes[sizeof(T)];
        for (unsigned i = 0; i < sizeof(T); ++i) {
            bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
        }
        out.write(bytes, static_cast<int>(sizeof(T)));
    }
}

// A read the stream cannot deliver leaves the member as it was, as the channel reader does.
template <typename T>
inline void read_field(GPS::istream& in, T& member) {
    static_assert(std::is_arithmetic_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4));
    unsigned char bytes[sizeof(T)] = {};
    in.read(bytes, static_cast<int>(sizeof(T)));
    if (in.failed()) {
        return;
    }
    field_bits_t<T> bits = 0;
    for (unsigned i = 0; i < sizeof(T); ++i) {
        bits =
            static_cast<field_bits_t<T>>(bits | static_cast<field_bits_t<T>>(bytes[i]) << (8 * i));
    }
    member = std::bit_cast<T>(bits);
}

}  // namespace tarnwick::nmea
