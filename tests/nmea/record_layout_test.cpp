// Serialized layouts, byte for byte, and the round trip back through deserialize.

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <memory>

#include "exchange/memory_stream.h"
#include "nmea/gsa_systems_record.h"
#include "nmea/parser.h"
#include "protocol/record_sizes.h"
#include "tests/nmea/nmea_test_support.h"

namespace tarnwick::test {
namespace {

struct GoldenCase {
    const char* body;  // sentence without "$" and checksum
    int id;
    const char* hex;  // the delivered record's bytes, worked out independently
};

// clang-format off
const GoldenCase golden_cases[] = {
    {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", 0,
     "0c2300009841300000000038e1404e0b0000000000f8414501000000086666663f9a5908444d9a993b424d"
     "0000000000000000"},
    {"GPGLL,4916.45,N,12311.12,W,225444,A,", 1,
     "31000000009a83414e7b00000000ec31415716360000304241"},
    {"GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1", 2,
     "41030000000405ff090cffff18ffffffffffffffffffffffffffffffffffffffffffff0c000020406666a63f"
     "66660640"},
    {"GPGSV,1,1,04,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45", 3,
     "04000000012853002e000211340129000c07580127000e16e4002d00"
     "ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00"
     "ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00"
     "ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00"
     "ffffffffff00ffffffffff00ffffffffff00ffffffffff00ffffffffff00"},
    {"GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", 4,
     "0c230000984141300000000038e1404e0b0000000000f841453333b341cdcca84217035e6666464057"},
    {"GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", 5,
     "cdcc5a42549a9909424d0000b0404e333323414b"},
    {"PORZA,1,-2,300", 6, "01000000feffffff2c010000"},
    {"PORZX,5,7,x,y,123,AB", 7, "05000000070000007b00000041"},
};
// clang-format on

TEST(RecordLayout, DeliveredRecordsMatchGoldenBytes) {
    for (const GoldenCase& c : golden_cases) {
        SCOPED_TRACE(c.body);
        CNMEAParser parser;
        RecordingListener listener;
        ASSERT_TRUE(parse_text(parser, with_checksum(c.body), &listener));
        ASSERT_EQ(listener.deliveries.size(), 1u);
        EXPECT_EQ(listener.deliveries[0].id, c.id);
        EXPECT_EQ(listener.deliveries[0].hex, c.hex);
    }
}

TEST(RecordLayout, DefaultRecordsHaveTheirInitialBytes) {
    EXPECT_EQ(serialized_hex(CGGARecord{}), std::string(51 * 2, '0'));
    EXPECT_EQ(serialized_hex(CRMCRecord{}), std::string(41 * 2, '0'));
    EXPECT_EQ(serialized_hex(CGLLRecord{}), std::string(25 * 2, '0'));
    EXPECT_EQ(serialized_hex(CVTGRecord{}), std::string(20 * 2, '0'));
    EXPECT_EQ(serialized_hex(CPORZARecord{}), std::string(12 * 2, '0'));
    EXPECT_EQ(serialized_hex(CPORZXRecord{}), std::string(13 * 2, '0'));
    EXPECT_EQ(serialized_hex(CNMEATime{}), std::string(6 * 2, '0'));
    EXPECT_EQ(serialized_hex(CNMEAPosition{}), std::string(18 * 2, '0'));
    // GSA: no mode, fix type 1, every slot empty, no count or dilutions.
    EXPECT_EQ(serialized_hex(CGSARecord{}),
              "0001000000" + std::string(60, 'f') + "00" + std::string(24, '0'));
    // GSV: nothing in view, every entry empty with a zero filler.
    std::string empty_entries;
    for (int i = 0; i < 30; ++i) {
        empty_entries += "ffffffffff00";
    }
    EXPECT_EQ(serialized_hex(CGSVRecord{}), "00000000" + empty_entries);
}

// Readers delimit the data stream by these lengths without decoding it.
TEST(RecordLayout, EveryRecordIsAsLongAsTheProtocolSays) {
    const struct {
        NMEAMessageId id;
        std::string hex;
    } cases[] = {
        {NMEAMessageId::GGA, serialized_hex(CGGARecord{})},
        {NMEAMessageId::GLL, serialized_hex(CGLLRecord{})},
        {NMEAMessageId::GSA, serialized_hex(CGSARecord{})},
        {NMEAMessageId::GSV, serialized_hex(CGSVRecord{})},
        {NMEAMessageId::RMC, serialized_hex(CRMCRecord{})},
        {NMEAMessageId::VTG, serialized_hex(CVTGRecord{})},
        {NMEAMessageId::PORZA, serialized_hex(CPORZARecord{})},
        {NMEAMessageId::PORZX, serialized_hex(CPORZXRecord{})},
        {NMEAMessageId::GSASystems, serialized_hex(CGSASystemsRecord{})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(message_type_name(static_cast<int>(c.id)));
        EXPECT_EQ(c.hex.size() / 2, protocol::record_size(static_cast<std::int32_t>(c.id)));
    }
    for (const std::int32_t not_a_record : {-1, 8, 10, 1003}) {
        EXPECT_EQ(protocol::record_size(not_a_record), 0u);
    }
}

// Serializes, reads back into a record of the same type that starts out different, and
// compares the bytes of every member through a second serialization.
template <typename Record>
void expect_round_trip(const Record& original, Record& target) {
    unsigned char bytes[256];
    GPS::memory_ostream out(bytes, sizeof bytes);
    original.serialize(out);
    ASSERT_TRUE(out.good());
    GPS::memory_istream in(bytes, out.length());
    target.deserialize(in);
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(serialized_hex(target), serialized_hex(original));
}

TEST(RecordLayout, RoundTripReproducesEveryMember) {
    CNMEAParser parser;
    for (const GoldenCase& c : golden_cases) {
        ASSERT_TRUE(parse_text(parser, with_checksum(c.body)));
    }
    {
        CGGARecord copy;
        expect_round_trip(parser.gga(), copy);
        EXPECT_EQ(copy.time.hour, 12);
        EXPECT_EQ(copy.position.lat_deg, 48);
        EXPECT_EQ(copy.position.lat_min, 7.0380859375f);
        EXPECT_EQ(copy.satellites, 8);
        EXPECT_EQ(copy.separation_unit, 'M');
    }
    {
        CGLLRecord copy;
        expect_round_trip(parser.gll(), copy);
        EXPECT_EQ(copy.position.lon_hemi, 'W');
        EXPECT_EQ(copy.status, 'A');
    }
    {
        CGSARecord copy;
        expect_round_trip(parser.gsa(), copy);
        EXPECT_EQ(copy.prn[4], 12);
        EXPECT_EQ(copy.prn_count, 12);
    }
    {
        CGSVRecord copy;
        expect_round_trip(parser.gsv(), copy);
        EXPECT_EQ(copy.satellites[1].azimuth, 308);
        // Set bookkeeping is not part of the layout.
        EXPECT_EQ(copy.total, 0);
        EXPECT_EQ(copy.count, 0);
    }
    {
        CRMCRecord copy;
        expect_round_trip(parser.rmc(), copy);
        EXPECT_EQ(copy.year, 94);
        EXPECT_EQ(copy.variation_dir, 'W');
    }
    {
        CVTGRecord copy;
        expect_round_trip(parser.vtg(), copy);
        EXPECT_EQ(copy.speed_kmh, 10.2f);
    }
    {
        CPORZARecord copy;
        expect_round_trip(parser.porza(), copy);
        EXPECT_EQ(copy.param2, -2);
    }
    {
        CPORZXRecord copy;
        expect_round_trip(parser.porzx(), copy);
        EXPECT_EQ(copy.param6, 'A');
    }
}

TEST(RecordLayout, RoundTripKeepsUnusualFloatBits) {
    CRMCRecord rmc;
    rmc.speed = std::numeric_limits<float>::quiet_NaN();
    rmc.course = -0.0f;
    rmc.variation = std::numeric_limits<float>::denorm_min();
    rmc.position.lat_min = std::numeric_limits<float>::infinity();
    rmc.position.lat_deg = std::numeric_limits<std::int32_t>::min();
    rmc.day = -1;
    CRMCRecord copy;
    expect_round_trip(rmc, copy);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(copy.speed), std::bit_cast<std::uint32_t>(rmc.speed));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(copy.course), 0x80000000u);
}

// Every field goes out in its own write, so a consumer can never see half of one.
class CountingStream final : public GPS::ostream {
  public:
    void write(const void*, int n) override { sizes.push_back(n); }
    std::vector<int> sizes;
};

TEST(RecordLayout, EachFieldIsOneWrite) {
    CountingStream rmc_writes;
    CRMCRecord{}.serialize(rmc_writes);
    EXPECT_EQ(rmc_writes.sizes,
              (std::vector<int>{1, 1, 4, 1, 4, 4, 1, 4, 4, 1, 4, 4, 1, 1, 1, 4, 1}));
    CountingStream gsv_writes;
    CGSVRecord{}.serialize(gsv_writes);
    ASSERT_EQ(gsv_writes.sizes.size(), 1u + 30 * 5);
    EXPECT_EQ(gsv_writes.sizes[0], 4);
    EXPECT_EQ((std::vector<int>(gsv_writes.sizes.begin() + 1, gsv_writes.sizes.begin() + 6)),
              (std::vector<int>{1, 1, 2, 1, 1}));
}

TEST(RecordLayout, ShortInputLeavesTheUndeliveredMembers) {
    // The first 10 bytes of a serialized RMC: time (6), status (1), then 3 of lat_deg's 4.
    const unsigned char bytes[] = {0x0c, 0x23, 0, 0, 0x98, 0x41, 'A', 0x30, 0, 0};
    CRMCRecord rmc;
    rmc.position.lat_deg = 77;
    rmc.variation_dir = 'E';
    GPS::memory_istream in(bytes, sizeof bytes);
    rmc.deserialize(in);
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(rmc.time.hour, 12);
    EXPECT_EQ(rmc.status, 'A');
    EXPECT_EQ(rmc.position.lat_deg, 77);
    EXPECT_EQ(rmc.variation_dir, 'E');
}

TEST(RecordLayout, FullStreamStoresNothingPastItsBuffer) {
    unsigned char bytes[40];  // one short of an RMC
    GPS::memory_ostream out(bytes, sizeof bytes);
    CRMCRecord{}.serialize(out);
    EXPECT_FALSE(out.good());
    EXPECT_EQ(out.length(), 40u);
}

}  // namespace
}  // namespace tarnwick::test
