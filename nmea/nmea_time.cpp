#include "nmea/nmea_time.h"

#include "nmea/field_conversion.h"
#include "nmea/field_io.h"

using namespace tarnwick::nmea;

void CNMEATime::parse(const char* field) noexcept {
    if (bounded_length(field, 6) < 6) {
        return;
    }
    hour = static_cast<std::uint8_t>(pair_to_int(field));
    minute = static_cast<std::uint8_t>(pair_to_int(field + 2));
    second = to_float(field + 4);
}

void CNMEATime::serialize(GPS::ostream& out) const {
    write_field(out, hour);
    write_field(out, minute);
    write_field(out, second);
}

void CNMEATime::deserialize(GPS::istream& in) {
    read_field(in, hour);
    read_field(in, minute);
    read_field(in, second);
}
