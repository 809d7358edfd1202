#include "nmea/gsa_record.h"

#include <algorithm>

#include "nmea/field_rules.h"
#include "nmea/sentence_fields.h"

using namespace tarnwick::nmea;

bool CGSARecord::parse(const char* const* first, const char* const* last) noexcept {
    const SentenceFields f(first, last);
    const std::size_t n = f.size();
    if (n < min_fields) {
        return false;
    }
    take_char(f[1], mode);
    if (is_single_char(f[2])) {
        fix_type = to_int(f[2]);
    }
    const std::size_t slots = std::min<std::size_t>(n - 5, capacity);
    for (std::size_t i = 0; i < slots; ++i) {
        take_integer(f[3 + i], prn[i]);
    }
    prn_count = static_cast<std::int8_t>(slots);
    take_real(f[n - 2], pdop);
    take_real(f[n - 1], hdop);
    take_real(f[n], vdop);
    return true;
}
