#pragma once
// Epochs of the bundled sample track (data/sample-track.nmea), as the view's tests feed them.

namespace tarnwick::test::sample {

// 09:30:00, the first epoch: a 3D fix, 12 of 13 satellites used (26 is not).
inline constexpr const char* first_epoch =
    "$GPRMC,093000.00,A,4530.10200,N,07334.03800,W,0.000,62.00,140326,14.2,W,A*07\n"
    "$GPGGA,093000.00,4530.10200,N,07334.03800,W,1,12,1.10,36.0,M,-32.4,M,,*53\n"
    "$GPGSA,A,3,02,05,07,09,12,13,15,17,20,21,25,29,1.87,1.10,1.51*0E\n"
    "$GPGSV,4,1,13,02,67,041,43,05,08,302,25,07,45,133,35,09,07,210,28*72\n"
    "$GPGSV,4,2,13,12,81,275,45,13,34,066,31,15,52,181,38,17,08,248,26*75\n"
    "$GPGSV,4,3,13,20,05,095,27,21,28,156,34,25,58,012,40,26,07,230,25*76\n"
    "$GPGSV,4,4,13,29,39,108,33*43\n"
    "$GPVTG,62.00,T,76.20,M,0.000,N,0.000,K,A*24\n";

// 09:30:01: moving at 3.5 knots.
inline constexpr const char* second_rmc =
    "$GPRMC,093001.00,A,4530.10232,N,07334.03669,W,3.499,70.48,140326,14.2,W,A*0E\n";

// 09:32:30, the first epoch without a fix: 14 in view, one still heard.
inline constexpr const char* outage_epoch =
    "$GPRMC,093230.00,V,,,,,,,140326,14.2,W,N*3A\n"
    "$GPGGA,093230.00,,,,,0,00,,,M,,M,,*43\n"
    "$GPGSA,A,1,,,,,,,,,,,,,,,*1E\n"
    "$GPGSV,4,1,14,02,68,043,,05,06,303,,07,46,132,,09,06,211,*79\n"
    "$GPGSV,4,2,14,12,81,278,23,13,33,067,,15,53,182,,17,06,247,*77\n"
    "$GPGSV,4,3,14,21,29,157,,24,06,319,,25,57,014,,26,05,230,*7B\n"
    "$GPGSV,4,4,14,29,39,107,,30,06,036,*7B\n";

}  // namespace tarnwick::test::sample
