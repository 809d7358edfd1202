#include "nmea/rmc_record.h"

#include "nmea/field_rules.h"
#include "nmea/sentence_fields.h"

using namespace tarnwick::nmea;

bool CRMCRecord::parse(const char* const* first, const char* const* last,
                       CoordinateSplit split) noexcept {
    const SentenceFields f(first, last);
    if (f.size() < min_fields) {
        return false;
    }
    time.parse(f[1]);
    take_char(f[2], status);
    position.parse(f[3], f[4], f[5], f[6], split);
    take_real(f[7], speed);
    take_real(f[8], course);
    if (bounded_length(f[9], 7) == 6) {  // ddmmyy
        day = static_cast<std::int8_t>(pair_to_int(f[9]));
        month = static_cast<std::int8_t>(pair_to_int(f[9] + 2));
        year = static_cast<std::int8_t>(pair_to_int(f[9] + 4));
    }
    take_real(f[10], variation);
    take_char(f[11], variation_dir);
    return true;
}
