#include "nmea/porza_record.h"

#include "nmea/field_rules.h"
#include "nmea/sentence_fields.h"

using namespace tarnwick::nmea;

bool CPORZARecord::parse(const char* const* first, const char* const* last) noexcept {
    const SentenceFields f(first, last);
    if (f.size() < min_fields) {
        return false;
    }
    take_integer(f[1], param1);
    take_integer(f[2], param2);
    take_integer(f[3], param3);
    return true;
}
