#pragma once
// UTC time of day, as GGA, GLL and RMC carry it (hhmmss.sss). Serialized: 6 bytes.

#include <cstdint>

#include "nmea/field_list_record.h"

class CNMEATime : public CFieldListRecord<CNMEATime> {
  public:
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    float second = 0;

    void clear() noexcept { *this = CNMEATime{}; }
    // A field shorter than six characters leaves the block unchanged.
    void parse(const char* field) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.hour);
        visit(self.minute);
        visit(self.second);
    }
};
