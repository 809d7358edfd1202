#pragma once
// GLL, geographic position (message id 1). At least 6 data fields. Serialized: 25 bytes, the
// position first, as in the sentence.

#include "nmea/field_list_record.h"
#include "nmea/nmea_position.h"
#include "nmea/nmea_time.h"

class CGLLRecord : public CFieldListRecord<CGLLRecord> {
  public:
    static constexpr int min_fields = 6;

    CNMEAPosition position;
    CNMEATime time;
    char status = 0;  // A valid, V invalid

    void clear() noexcept { *this = CGLLRecord{}; }
    // Extra trailing fields (the mode indicator of NMEA 2.3, the navigational status of 4.10)
    // are ignored.
    bool parse(const char* const* first, const char* const* last,
               CoordinateSplit split = CoordinateSplit::single) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.position);
        visit(self.time);
        visit(self.status);
    }
};
