#pragma once
// RMC, recommended minimum data (message id 4). At least 11 data fields. Serialized: 41 bytes,
// the form the fix store keeps on disk. Also a value type: the last valid fix is a copy.

#include <cstdint>

#include "nmea/field_list_record.h"
#include "nmea/nmea_position.h"
#include "nmea/nmea_time.h"

class CRMCRecord : public CFieldListRecord<CRMCRecord> {
  public:
    static constexpr int min_fields = 11;

    CNMEATime time;
    char status = 0;  // A valid fix, V invalid
    CNMEAPosition position;
    float speed = 0;   // knots
    float course = 0;  // degrees
    std::int8_t day = 0;
    std::int8_t month = 0;
    std::int8_t year = 0;  // two digits as sent, no century
    float variation = 0;
    char variation_dir = 0;

    CRMCRecord() = default;
    CRMCRecord(const CRMCRecord& other) = default;
    CRMCRecord& operator=(const CRMCRecord& other) = default;
    // Copies every data member, blocks included.
    void assign(const CRMCRecord& other) noexcept { *this = other; }

    void clear() noexcept { *this = CRMCRecord{}; }
    // Extra trailing fields (the mode indicator of NMEA 2.3, the navigational status of 4.10)
    // are ignored.
    bool parse(const char* const* first, const char* const* last,
               CoordinateSplit split = CoordinateSplit::single) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.time);
        visit(self.status);
        visit(self.position);
        visit(self.speed);
        visit(self.course);
        visit(self.day);
        visit(self.month);
        visit(self.year);
        visit(self.variation);
        visit(self.variation_dir);
    }
};
