#include "nmea/gll_record.h"

#include "nmea/field_rules.h"
#include "nmea/sentence_fields.h"

using namespace tarnwick::nmea;

bool CGLLRecord::parse(const char* const* first, const char* const* last,
                       CoordinateSplit split) noexcept {
    const SentenceFields f(first, last);
    if (f.size() < min_fields) {
        return false;
    }
    position.parse(f[1], f[2], f[3], f[4], split);
    time.parse(f[5]);
    take_char(f[6], status);
    return true;
}
