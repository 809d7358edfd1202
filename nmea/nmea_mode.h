#pragma once
// Which receivers a parser understands. The GPS mode is the sentence set of the receivers the
// service was built for (talker GP only); the GNSS mode adds the talkers of multi-system
// receivers (NMEA 0183 4.x), the signal-id field of GSV and positions split on the double.

#include <cstdint>

enum class NMEAMode : std::uint8_t {
    gps = 0,
    gnss = 1,
};
