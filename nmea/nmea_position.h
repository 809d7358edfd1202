#pragma once
// Latitude and longitude as whole degrees plus decimal minutes, as GGA, GLL and RMC carry them.
// The sign lives only in the hemisphere characters. Serialized: 18 bytes.

#include <cstdint>

#include "nmea/field_list_record.h"

// How a coordinate field is split into degrees and minutes: on its single-precision value (the
// rule of the receivers the service was built for) or on its double, which keeps the
// centimetres of today's receivers (the GNSS mode).
enum class CoordinateSplit : std::uint8_t {
    single = 0,
    full = 1,
};

class CNMEAPosition : public CFieldListRecord<CNMEAPosition> {
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
               const char* lon_hemisphere,
               CoordinateSplit split = CoordinateSplit::single) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.lat_deg);
        visit(self.lat_min);
        visit(self.lat_hemi);
        visit(self.lon_deg);
        visit(self.lon_min);
        visit(self.lon_hemi);
    }
};
