#include "nmea/vtg_record.h"

#include "nmea/field_io.h"
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

void CVTGRecord::serialize(GPS::ostream& out) const {
    write_field(out, course_true);
    write_field(out, course_true_ref);
    write_field(out, course_magnetic);
    write_field(out, course_magnetic_ref);
    write_field(out, speed_knots);
    write_field(out, speed_knots_unit);
    write_field(out, speed_kmh);
    write_field(out, speed_kmh_unit);
}

void CVTGRecord::deserialize(GPS::istream& in) {
    read_field(in, course_true);
    read_field(in, course_true_ref);
    read_field(in, course_magnetic);
    read_field(in, course_magnetic_ref);
    read_field(in, speed_knots);
    read_field(in, speed_knots_unit);
    read_field(in, speed_kmh);
    read_field(in, speed_kmh_unit);
}
