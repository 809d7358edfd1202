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

}  // namespace tarnwick::nmea
