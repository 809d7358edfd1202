#include "nmea/porzx_record.h"

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
