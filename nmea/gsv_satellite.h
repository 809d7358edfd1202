#pragma once
// One satellite in view within a GSV set. An entry no sentence filled keeps the 0xFF markers
// by which clients tell it from a filled one. Serialized: 6 bytes, the last the tag byte, which
// only the GNSS mode fills (0 otherwise, as readers that ignore it expect).

#include <cstddef>
#include <cstdint>

#include "nmea/field_list.h"

struct CGSVSatellite {
    static constexpr std::uint8_t empty8 = 0xFF;
    static constexpr std::uint16_t empty16 = 0xFFFF;

    std::uint8_t prn = empty8;
    std::uint8_t elevation = empty8;  // degrees
    std::uint16_t azimuth = empty16;  // degrees
    std::uint8_t snr = empty8;        // dB
    // GNSS mode: satellite_tag of the entry's system and signal (satellite_system.h); 0 else.
    std::uint8_t tag = 0;

    // The four fields number, elevation, azimuth, signal-to-noise ratio; empty ones keep the
    // markers.
    void parse(const char* number, const char* elevation_text, const char* azimuth_text,
               const char* snr_text) noexcept;

    // The 30 entries of a record go out as one block of bytes (field_list.h).
    static constexpr bool memory_is_wire_layout = true;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.prn);
        visit(self.elevation);
        visit(self.azimuth);
        visit(self.snr);
        visit(self.tag);
    }
};

static_assert(offsetof(CGSVSatellite, prn) == 0 && offsetof(CGSVSatellite, elevation) == 1 &&
                  offsetof(CGSVSatellite, azimuth) == 2 && offsetof(CGSVSatellite, snr) == 4 &&
                  offsetof(CGSVSatellite, tag) == 5 && sizeof(CGSVSatellite) == 6,
              "a GSV entry's memory is its 6 wire bytes");
