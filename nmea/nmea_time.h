#pragma once
// UTC time of day, as GGA, GLL and RMC carry it (hhmmss.sss). Serialized: 6 bytes.

#include <cstdint>

#include "nmea/record.h"

class CNMEATime : public CNMEARecord {
  public:
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    float second = 0;

    void clear() noexcept { *this = CNMEATime{}; }
    // A field shorter than six characters leaves the block unchanged.
    void parse(const char* field) noexcept;

    void serialize(GPS::ostream& out) const override;
    void deserialize(GPS::istream& in) override;
};
