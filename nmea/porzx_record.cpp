#include "nmea/porzx_record.h"

#include "nmea/field_io.h"
#include "nmea/field_rules.h"
#include "nmea/sentence_fields.h"

using namespace tarnwick::nmea;

bool CPORZXRecord::parse(const char* const* first, const char* const* last) noexcept {
    const SentenceFields f(first, last);
    if (f.size() < min_fields) {
        return false;
    }
    take_integer(f[1], param1);
    take_integer(f[2], receiver);
    take_integer(f[5], param5);
    if (f.given(6)) {
        param6 = f[6][0];
    }
    return true;
}

void CPORZXRecord::serialize(GPS::ostream& out) const {
    write_field(out, param1);
    write_field(out, receiver);
    write_field(out, param5);
    write_field(out, param6);
}

void CPORZXRecord::deserialize(GPS::istream& in) {
    read_field(in, param1);
    read_field(in, receiver);
    read_field(in, param5);
    read_field(in, param6);
}
