#include "nmea/satellite_system.h"

namespace tarnwick::nmea {

const char* satellite_system_name(int system) noexcept {
    constexpr const char* names[] = {"unknown", "GPS",  "GLONASS", "Galileo",
                                     "BeiDou",  "QZSS", "NavIC"};
    return system > 0 && system < satellite_system_count ? names[system] : names[0];
}

char satellite_system_letter(int system) noexcept {
    constexpr char letters[] = {'?', 'G', 'R', 'E', 'C', 'J', 'I'};
    return system > 0 && system < satellite_system_count ? letters[system] : letters[0];
}

SatelliteSystem system_of(Talker talker, int prn) noexcept {
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

}  // namespace tarnwick::nmea
