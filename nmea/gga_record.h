#pragma once
// GGA, fix data (message id 0). At least 14 data fields. Serialized: 51 bytes.

#include <cstdint>

#include "nmea/field_list_record.h"
#include "nmea/nmea_position.h"
#include "nmea/nmea_time.h"

class CGGARecord : public CFieldListRecord<CGGARecord> {
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
    // Extra trailing fields (the mode indicator of NMEA 2.3, the navigational status of 4.10)
    // are ignored.
    bool parse(const char* const* first, const char* const* last,
               CoordinateSplit split = CoordinateSplit::single) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.time);
        visit(self.position);
        visit(self.quality);
        visit(self.satellites);
        visit(self.hdop);
        visit(self.altitude);
        visit(self.altitude_unit);
        visit(self.separation);
        visit(self.separation_unit);
        visit(self.dgps_age);
        visit(self.dgps_station);
    }
};
