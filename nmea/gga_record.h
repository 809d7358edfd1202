#pragma once
// GGA, fix data (message id 0). At least 14 data fields. Serialized: 51 bytes.

#include <cstdint>

#include "nmea/nmea_position.h"
#include "nmea/nmea_time.h"

class CGGARecord : public CNMEARecord {
  public:
    static constexpr int min_fields = 14;

    CNMEATime time;
    CNMEAPosition position;
    std::int32_t quality = 0;  // taken only from a one-character field
    std::int8_t satellites = 0;
    float hdop = 0;
    float altitude = 0;
    char altitude_unit = 0;
    float separation = 0;
    char separation_unit = 0;
    std::int32_t dgps_age = 0;
    std::int32_t dgps_station = 0;

    void clear() noexcept { *this = CGGARecord{}; }
    // False, with nothing changed, when the range holds fewer than min_fields fields.
    bool parse(const char* const* first, const char* const* last) noexcept;

    void serialize(GPS::ostream& out) const override;
    void deserialize(GPS::istream& in) override;
};
