#include "nmea/nmea_position.h"

#include "nmea/field_conversion.h"
#include "nmea/field_rules.h"

using namespace tarnwick::nmea;

namespace {

// Minutes come from the single-precision value, so degrees and minutes together keep about
// seven significant digits. Text that is no coordinate at all ("1e10", "nan") truncates to
// INT32_MIN like the hardware conversion; the arithmetic after it stays within int32.
void split_single(double text_value, std::int32_t& degrees, float& minutes) noexcept {
    const auto value = static_cast<float>(text_value);
    degrees = truncate_to_int32(value) / 100;
    minutes = value - static_cast<float>(degrees * 100);
}

// The minutes are computed in double and rounded once, so only the float's own rounding of the
// minutes remains (millimetres). Values that truncate to no int32 (beyond its range, infinite,
// NaN) keep the single-precision rule and its INT32_MIN.
void split_full(double value, std::int32_t& degrees, float& minutes) noexcept {
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        split_single(value, degrees, minutes);
        return;
    }
    degrees = static_cast<std::int32_t>(value) / 100;
    minutes = static_cast<float>(value - degrees * 100.0);
}

void split_coordinate(const char* field, std::int32_t& degrees, float& minutes,
                      CoordinateSplit split) noexcept {
    if (field[0] == '\0') {
        return;
    }
    const double value = to_double(field);
    if (split == CoordinateSplit::full) {
        split_full(value, degrees, minutes);
    } else {
        split_single(value, degrees, minutes);
    }
}

}  // namespace

void CNMEAPosition::parse(const char* latitude, const char* lat_hemisphere, const char* longitude,
                          const char* lon_hemisphere, CoordinateSplit split) noexcept {
    split_coordinate(latitude, lat_deg, lat_min, split);
    take_char(lat_hemisphere, lat_hemi);
    split_coordinate(longitude, lon_deg, lon_min, split);
    take_char(lon_hemisphere, lon_hemi);
}
