#pragma once
// The byte length of each record on the data stream and in answers, by message id (ids 0 to 7,
// and 9 in the GNSS mode). A record's length is fixed, which is what lets a reader delimit the
// data stream without decoding it.

#include <cstddef>
#include <cstdint>

namespace tarnwick::protocol {

inline constexpr std::size_t gga_size = 51;
inline constexpr std::size_t gll_size = 25;
inline constexpr std::size_t gsa_size = 48;
inline constexpr std::size_t gsv_size = 184;
inline constexpr std::size_t rmc_size = 41;
inline constexpr std::size_t vtg_size = 20;
inline constexpr std::size_t porza_size = 12;
inline constexpr std::size_t porzx_size = 13;
inline constexpr std::size_t gsa_systems_size = 30;

// With the time-stamp mode ("tstamp"), an RMC on the data stream has a 4-byte tick before its
// record.
inline constexpr std::size_t rmc_tick_size = 4;

// The length of record `id`, 0 for an id that is not a record.
constexpr std::size_t record_size(std::int32_t id) noexcept {
    constexpr std::size_t sizes[] = {gga_size, gll_size, gsa_size,   gsv_size,
                                     rmc_size, vtg_size, porza_size, porzx_size};
    if (id == 9) {
        return gsa_systems_size;
    }
    return id >= 0 && id < 8 ? sizes[id] : 0;
}

}  // namespace tarnwick::protocol
