#include "nmea/gsv_satellite.h"

#include "nmea/field_io.h"
#include "nmea/field_rules.h"

using namespace tarnwick::nmea;

void CGSVSatellite::parse(const char* number, const char* elevation_text, const char* azimuth_text,
                          const char* snr_text) noexcept {
    take_integer(number, prn);
    take_integer(elevation_text, elevation);
    take_integer(azimuth_text, azimuth);
    take_integer(snr_text, snr);
}

void CGSVSatellite::serialize(GPS::ostream& out) const {
    write_field(out, prn);
    write_field(out, elevation);
    write_field(out, azimuth);
    write_field(out, snr);
    static constexpr std::uint8_t filler = 0;
    write_field(out, filler);
}

void CGSVSatellite::deserialize(GPS::istream& in) {
    read_field(in, prn);
    read_field(in, elevation);
    read_field(in, azimuth);
    read_field(in, snr);
    std::uint8_t filler = 0;
    read_field(in, filler);
}
