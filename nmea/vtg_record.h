#pragma once
// VTG, track and ground speed (message id 5). At least 8 data fields. Serialized: 20 bytes,
// each value followed by its reference or unit character.

#include "nmea/field_list_record.h"

class CVTGRecord : public CFieldListRecord<CVTGRecord> {
  public:
    static constexpr int min_fields = 8;

    float course_true = 0;
    char course_true_ref = 0;  // T
    float course_magnetic = 0;
    char course_magnetic_ref = 0;  // M
    float speed_knots = 0;
    char speed_knots_unit = 0;  // N
    float speed_kmh = 0;
    char speed_kmh_unit = 0;  // K

    void clear() noexcept { *this = CVTGRecord{}; }
    bool parse(const char* const* first, const char* const* last) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.course_true);
        visit(self.course_true_ref);
        visit(self.course_magnetic);
        visit(self.course_magnetic_ref);
        visit(self.speed_knots);
        visit(self.speed_knots_unit);
        visit(self.speed_kmh);
        visit(self.speed_kmh_unit);
    }
};
