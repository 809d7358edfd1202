// How the records turn text fields into members.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "nmea/parser.h"
#include "tests/nmea/nmea_test_support.h"

namespace tarnwick::test {
namespace {

CNMEAParser& parsed(CNMEAParser& parser, const std::string& body) {
    EXPECT_TRUE(parse_text(parser, with_checksum(body))) << body;
    return parser;
}

TEST(RecordFields, GgaRules) {
    CNMEAParser parser;
    const CGGARecord& gga = parsed(parser, "GPGGA,123519,,,,,12,300,,,MM,,,2.9,0042").gga();
    EXPECT_EQ(gga.quality, 0);             // two characters: not taken
    EXPECT_EQ(gga.satellites, 300 - 256);  // low 8 bits
    EXPECT_EQ(gga.altitude_unit, 0);       // two characters: not taken
    EXPECT_EQ(gga.dgps_age, 2);            // fraction dropped
    EXPECT_EQ(gga.dgps_station, 42);
    EXPECT_EQ(gga.time.second, 19.0f);
    parsed(parser, "GPGGA,,,,,,6,,,,,,,,");
    EXPECT_EQ(parser.gga().quality, 6);
}

TEST(RecordFields, TimeRule) {
    struct Case {
        const char* field;
        int hour, minute;
        float second;
    };
    const Case cases[] = {
        {"123519", 12, 35, 19.0f},  {"123519.25", 12, 35, 19.25f},
        {"1235", 0, 0, 0.0f},       {"12351", 0, 0, 0.0f},
        {"", 0, 0, 0.0f},           {"1x3519", 1, 35, 19.0f},
        {"-13519", 255, 35, 19.0f}, {"235959.999", 23, 59, 59.999f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        CNMEATime time;
        time.parse(c.field);
        EXPECT_EQ(time.hour, c.hour);
        EXPECT_EQ(time.minute, c.minute);
        EXPECT_EQ(time.second, c.second);
    }
}

TEST(RecordFields, PositionRule) {
    struct Case {
        const char* latitude;
        std::int32_t deg;
        float min;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"4807.038", 48, 7.0380859375f},
        {"01131.000", 11, 31.0f},
        {"0000.0001", 0, 0.0001f},
        {"abc", 0, 0.0f},  // letters: 0 degrees, 0 minutes
        {"-4807.038", -48, -7.0380859375f},
        // No coordinate at all: the hardware truncation gives INT32_MIN, then the arithmetic
        // of the position rule (degrees × 100 stays within int32).
        {"1e10", -21474836, 1e10f + 2147483648.0f},
        {"nan", -21474836, nan},
        {"inf", -21474836, inf},
        {"-inf", -21474836, -inf},
        {"2147483647", -21474836, 2147483648.0f + 2147483648.0f},  // rounds up past INT32_MAX
        {"2147483520", 21474835, 0.0f},  // largest float below 2^31; 2147483500 rounds to it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.latitude);
        CNMEAPosition position;
        position.parse(c.latitude, "N", c.latitude, "EW");
        EXPECT_EQ(position.lat_deg, c.deg);
        EXPECT_EQ(position.lon_deg, c.deg);
        if (c.min != c.min) {
            EXPECT_TRUE(position.lat_min != position.lat_min);
        } else {
            EXPECT_EQ(position.lat_min, c.min);
        }
        EXPECT_EQ(position.lat_hemi, 'N');
        EXPECT_EQ(position.lon_hemi, 0);
    }
}

TEST(RecordFields, RmcRules) {
    CNMEAParser parser;
    const CRMCRecord& rmc = parsed(parser, "GPRMC,123519,AV,,,,,,,23039,,EW").rmc();
    EXPECT_EQ(rmc.status, 0);  // two letters
    EXPECT_EQ(rmc.day, 0);     // date of five characters
    EXPECT_EQ(rmc.month, 0);
    EXPECT_EQ(rmc.year, 0);
    EXPECT_EQ(rmc.variation_dir, 0);
    const CRMCRecord& dated = parsed(parser, "GPRMC,,V,,,,,,,311299,,E,extra,fields").rmc();
    EXPECT_EQ(dated.day, 31);
    EXPECT_EQ(dated.month, 12);
    EXPECT_EQ(dated.year, 99);
    EXPECT_EQ(dated.status, 'V');
    EXPECT_EQ(parsed(parser, "GPRMC,,,,,,,,,2303940,,").rmc().day, 0);  // seven characters
}

TEST(RecordFields, RmcIsAValueType) {
    CNMEAParser parser;
    const CRMCRecord& rmc =
        parsed(parser, "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W").rmc();
    CRMCRecord copy(rmc);
    CRMCRecord assigned;
    assigned.assign(rmc);
    EXPECT_EQ(serialized_hex(copy), serialized_hex(rmc));
    EXPECT_EQ(serialized_hex(assigned), serialized_hex(rmc));
    EXPECT_EQ(assigned.position.lon_deg, 11);
}

TEST(RecordFields, VtgPorzaPorzx) {
    CNMEAParser parser;
    const CVTGRecord& vtg = parsed(parser, "GPVTG,,T,1.5,,2,NN,-3,K").vtg();
    EXPECT_EQ(vtg.course_true, 0.0f);
    EXPECT_EQ(vtg.course_true_ref, 'T');
    EXPECT_EQ(vtg.course_magnetic, 1.5f);
    EXPECT_EQ(vtg.speed_knots_unit, 0);
    EXPECT_EQ(vtg.speed_kmh, -3.0f);

    const CPORZARecord& porza = parsed(parser, "PORZA, 12,+7,99999999999").porza();
    EXPECT_EQ(porza.param1, 12);
    EXPECT_EQ(porza.param2, 7);
    EXPECT_EQ(porza.param3, static_cast<std::int32_t>(99999999999LL & 0xFFFFFFFF));

    const CPORZXRecord& porzx = parsed(parser, "PORZX,1,2,ignored,ignored,0042,XY").porzx();
    EXPECT_EQ(porzx.param1, 1);
    EXPECT_EQ(porzx.receiver, 2);
    EXPECT_EQ(porzx.param5, 42);
    EXPECT_EQ(porzx.param6, 'X');  // first character whatever the length
    EXPECT_EQ(parsed(parser, "PORZX,1,2,,,3,").porzx().param6, 0);
}

TEST(RecordFields, MinimumFieldCountsLeaveRecordsCleared) {
    struct Case {
        const char* address;
        int minimum;
    };
    const Case cases[] = {{"GPGGA", 14}, {"GPGLL", 6}, {"GPGSA", 17}, {"GPRMC", 11},
                          {"GPVTG", 8},  {"PORZA", 3}, {"PORZX", 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        std::string enough = c.address;
        for (int i = 0; i < c.minimum; ++i) {
            enough += ",1";
        }
        CNMEAParser parser;
        EXPECT_TRUE(parse_text(parser, with_checksum(enough)));
        const std::string too_few = enough.substr(0, enough.size() - 2);
        EXPECT_FALSE(parse_text(parser, with_checksum(too_few)));
        const CNMEAParser fresh;
        EXPECT_EQ(serialized_hex(parser.gga()), serialized_hex(fresh.gga()));
        EXPECT_EQ(serialized_hex(parser.gsa()), serialized_hex(fresh.gsa()));
        EXPECT_EQ(serialized_hex(parser.porzx()), serialized_hex(fresh.porzx()));
        EXPECT_EQ(serialized_hex(parser.rmc()), serialized_hex(fresh.rmc()));
    }
}

}  // namespace
}  // namespace tarnwick::test
