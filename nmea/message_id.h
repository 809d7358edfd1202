#pragma once
// Identity of a decoded record. The same numbers mark the records on the data stream, so they
// are part of the client contract and never change.

#include <cstdint>

enum class NMEAMessageId : std::int32_t {
    GGA = 0,
    GLL = 1,
    GSA = 2,
    GSV = 3,
    RMC = 4,
    VTG = 5,
    PORZA = 6,
    PORZX = 7,
    None = 8,  // only the parser's value before its first delivery
    // GNSS mode only: the satellite systems of the GSA delivered right after it.
    GSASystems = 9,
};

// Short upper-case name of a record type ("GGA" … "PORZX", "GSASYS" for id 9), "None" for
// anything else.
constexpr const char* message_type_name(int id) noexcept {
    constexpr const char* names[] = {"GGA", "GLL", "GSA", "GSV", "RMC", "VTG", "PORZA", "PORZX"};
    if (id == static_cast<int>(NMEAMessageId::GSASystems)) {
        return "GSASYS";
    }
    return id >= 0 && id < 8 ? names[id] : "None";
}
