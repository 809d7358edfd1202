#pragma once
// Satellite systems as NMEA 0183 4.10 numbers them (the GSA system-id field), the talkers that
// stand for them, and the byte that tags a satellite with its system and signal on the wire.

#include <cstdint>

namespace tarnwick::nmea {

enum class SatelliteSystem : std::uint8_t {
    unknown = 0,
    gps = 1,  // SBAS satellites (PRN 33-64) are reported under GPS, as NMEA does
    glonass = 2,
    galileo = 3,
    beidou = 4,
    qzss = 5,
    navic = 6,
};

inline constexpr int satellite_system_count = 7;  // unknown included

// "GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "NavIC"; "unknown" for anything else.
const char* satellite_system_name(int system) noexcept;

// The one-letter code of RINEX: G GPS, R GLONASS, E Galileo, C BeiDou, J QZSS, I NavIC; '?'
// for unknown.
char satellite_system_letter(int system) noexcept;

// The talkers the GNSS mode accepts in place of GP. GN is the combined solution of several
// systems; BD is BeiDou's older talker.
enum class Talker : std::uint8_t {
    none = 0,  // the GPS mode: satellites are not tagged
    gp,
    gn,
    gl,
    ga,
    gb,
    gq,
    gi,
};

// The talker of a GNSS-mode address (GP, GN, GL, GA, GB, BD, GQ, GI), or none.
constexpr Talker talker_of(const char* address) noexcept {
    const char a = address[0];
    const char b = a == '\0' ? '\0' : address[1];
    if (a == 'B') {
        return b == 'D' ? Talker::gb : Talker::none;
    }
    if (a != 'G') {
        return Talker::none;
    }
    switch (b) {
        case 'P':
            return Talker::gp;
        case 'N':
            return Talker::gn;
        case 'L':
            return Talker::gl;
        case 'A':
            return Talker::ga;
        case 'B':
            return Talker::gb;
        case 'Q':
            return Talker::gq;
        case 'I':
            return Talker::gi;
        default:
            return Talker::none;
    }
}

// The system of satellite `prn` reported under `talker`. A system's own talker decides alone;
// GP and GN sentences of receivers before 4.10 number the systems apart (GLONASS 65-96, QZSS
// 193-202), which decides for them. A GN number outside those ranges is unknown; a GP one is
// GPS (SBAS included).
// Inline: it runs for every satellite of every GSV and GSA in the mode.
constexpr SatelliteSystem system_of(Talker talker, int prn) noexcept {
    switch (talker) {
        case Talker::gl:
            return SatelliteSystem::glonass;
        case Talker::ga:
            return SatelliteSystem::galileo;
        case Talker::gb:
            return SatelliteSystem::beidou;
        case Talker::gq:
            return SatelliteSystem::qzss;
        case Talker::gi:
            return SatelliteSystem::navic;
        case Talker::gp:
        case Talker::gn:
            if (prn >= 65 && prn <= 96) {
                return SatelliteSystem::glonass;
            }
            if (prn >= 193 && prn <= 202) {
                return SatelliteSystem::qzss;
            }
            if (talker == Talker::gp || (prn >= 1 && prn <= 64)) {
                return SatelliteSystem::gps;
            }
            return SatelliteSystem::unknown;
        case Talker::none:
            break;
    }
    return SatelliteSystem::unknown;
}

// The GSV entry's tag byte: the system in the high four bits, the signal id in the low four.
constexpr std::uint8_t satellite_tag(SatelliteSystem system, int signal) noexcept {
    return static_cast<std::uint8_t>((static_cast<unsigned>(system) << 4) |
                                     (static_cast<unsigned>(signal) & 0x0Fu));
}

// The value of a one-digit hexadecimal field (a 4.10 signal or system id), or -1.
constexpr int hex_digit_field(const char* field) noexcept {
    const char c = field[0];
    if (c == '\0' || field[1] != '\0') {
        return -1;
    }
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace tarnwick::nmea
