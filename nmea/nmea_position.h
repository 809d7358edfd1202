#pragma once
// Latitude and longitude as whole degrees plus decimal minutes, as GGA, GLL and RMC carry them.
// The sign lives only in the hemisphere characters. Serialized: 18 bytes.

#include <cstdint>

#include "nmea/record.h"

class CNMEAPosition : public CNMEARecord {
  public:
    std::int32_t lat_deg = 0;
    float lat_min = 0;
    char lat_hemi = 0;
    std::int32_t lon_deg = 0;
    float lon_min = 0;
    char lon_hemi = 0;

    void clear() noexcept { *this = CNMEAPosition{}; }
    // The four fields latitude, N/S, longitude, E/W; empty ones leave their members unchanged.
    void parse(const char* latitude, const char* lat_hemisphere, const char* longitude,
               const char* lon_hemisphere) noexcept;

    void serialize(GPS::ostream& out) const override;
    void deserialize(GPS::istream& in) override;
};
