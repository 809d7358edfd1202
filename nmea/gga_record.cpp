#include "nmea/gga_record.h"

#include "nmea/field_rules.h"
#include "nmea/sentence_fields.h"

using namespace tarnwick::nmea;

bool CGGARecord::parse(const char* const* first, const char* const* last,
                       CoordinateSplit split) noexcept {
    const SentenceFields f(first, last);
    if (f.size() < min_fields) {
        return false;
    }
    time.parse(f[1]);
    position.parse(f[2], f[3], f[4], f[5], split);
    if (is_single_char(f[6])) {
        quality = to_int(f[6]);
    }
    take_integer(f[7], satellites);
    take_real(f[8], hdop);
    take_real(f[9], altitude);
    take_char(f[10], altitude_unit);
    take_real(f[11], separation);
    take_char(f[12], separation_unit);
    take_integer(f[13], dgps_age);
    take_integer(f[14], dgps_station);
    return true;
}
