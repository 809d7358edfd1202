#include "nmea/nmea_position.h"

#include "nmea/field_conversion.h"
#include "nmea/field_rules.h"

using namespace tarnwick::nmea;

namespace {

// Minutes come from the single-precision value, so degrees and minutes together keep about
// seven significant digits. Text that is no coordinate at all ("1e10", "nan") truncates to
// INT32_MIN like the hardware conversion; the arithmetic after it stays within int32.
void split_coordinate(const char* field, std::int32_t& degrees, float& minutes) noexcept {
    if (field[0] == '\0') {
        return;
    }
    const float value = to_float(field);
    degrees = truncate_to_int32(value) / 100;
    minutes = value - static_cast<float>(degrees * 100);
}

}  // namespace

void CNMEAPosition::parse(const char* latitude, const char* lat_hemisphere, const char* longitude,
                          const char* lon_hemisphere) noexcept {
    split_coordinate(latitude, lat_deg, lat_min);
    take_char(lat_hemisphere, lat_hemi);
    split_coordinate(longitude, lon_deg, lon_min);
    take_char(lon_hemisphere, lon_hemi);
}
