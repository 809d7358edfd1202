#include "nmea/nmea_time.h"

#include "nmea/field_conversion.h"

using namespace tarnwick::nmea;

void CNMEATime::parse(const char* field) noexcept {
    if (bounded_length(field, 6) < 6) {
        return;
    }
    hour = static_cast<std::uint8_t>(pair_to_int(field));
    minute = static_cast<std::uint8_t>(pair_to_int(field + 2));
    second = to_float(field + 4);
}
