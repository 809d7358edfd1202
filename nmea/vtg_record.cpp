#include "nmea/vtg_record.h"

#include "nmea/field_rules.h"
#include "nmea/sentence_fields.h"

using namespace tarnwick::nmea;

bool CVTGRecord::parse(const char* const* first, const char* const* last) noexcept {
    const SentenceFields f(first, last);
    if (f.size() < min_fields) {
        return false;
    }
    take_real(f[1], course_true);
    take_char(f[2], course_true_ref);
    take_real(f[3], course_magnetic);
    take_char(f[4], course_magnetic_ref);
    take_real(f[5], speed_knots);
    take_char(f[6], speed_knots_unit);
    take_real(f[7], speed_kmh);
    take_char(f[8], speed_kmh_unit);
    return true;
}
