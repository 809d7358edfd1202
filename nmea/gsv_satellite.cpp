#include "nmea/gsv_satellite.h"

#include "nmea/field_rules.h"

using namespace tarnwick::nmea;

void CGSVSatellite::parse(const char* number, const char* elevation_text, const char* azimuth_text,
                          const char* snr_text) noexcept {
    take_integer(number, prn);
    take_integer(elevation_text, elevation);
    take_integer(azimuth_text, azimuth);
    take_integer(snr_text, snr);
}
