// Gathering GSV sets sentence by sentence, and the 30-entry capacities of GSV and GSA.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmea/parser.h"
#include "tests/nmea/nmea_test_support.h"

namespace tarnwick::test {
namespace {

struct Step {
    std::string body;    // sentence without "$" and checksum
    ParseResult result;  // expected code
    bool delivers;       // a complete set goes to the listener
    std::int32_t total;  // record state afterwards
    std::int32_t number;
    std::int32_t count;
};

struct SetCase {
    const char* name;
    std::vector<Step> steps;
};

// A sentence "i/n" reporting `in_view` satellites and carrying `sats` groups.
std::string gsv(int total, int number, int in_view, int sats, int first_prn = 1) {
    std::string body = "GPGSV," + std::to_string(total) + "," + std::to_string(number) + "," +
                       std::to_string(in_view);
    for (int i = 0; i < sats; ++i) {
        body += "," + std::to_string(first_prn + i) + ",45,180,40";
    }
    return body;
}

constexpr ParseResult Ok = ParseResult::Ok;
constexpr ParseResult Invalid = ParseResult::InvalidGSV;

TEST(GsvSet, Sequences) {
    const SetCase cases[] = {
        {"three sentences",
         {{gsv(3, 1, 11, 4), Ok, false, 3, 1, 4},
          {gsv(3, 2, 11, 4, 5), Ok, false, 3, 2, 8},
          {gsv(3, 3, 11, 3, 9), Ok, true, 3, 3, 11}}},
        {"single-sentence set is complete at once", {{gsv(1, 1, 2, 2), Ok, true, 1, 1, 2}}},
        {"second sentence lost",
         {{gsv(3, 1, 11, 4), Ok, false, 3, 1, 4}, {gsv(3, 3, 11, 3), Invalid, false, 0, 0, 0}}},
        {"joined in the middle of a set",
         {{gsv(3, 2, 11, 4), Invalid, false, 0, 0, 0},
          {gsv(3, 3, 11, 3), Invalid, false, 0, 0, 0},
          {gsv(3, 1, 11, 4), Ok, false, 3, 1, 4}}},
        {"a new first sentence restarts the set",
         {{gsv(3, 1, 11, 4), Ok, false, 3, 1, 4},
          {gsv(3, 2, 11, 4), Ok, false, 3, 2, 8},
          {gsv(3, 1, 11, 4), Ok, false, 3, 1, 4}}},
        {"a changed total is refused",
         {{gsv(3, 1, 11, 4), Ok, false, 3, 1, 4}, {gsv(2, 1, 11, 4), Invalid, false, 0, 0, 0}}},
        {"a complete set is cleared by the next sentence",
         {{gsv(1, 1, 2, 2), Ok, true, 1, 1, 2}, {gsv(2, 1, 5, 4), Ok, false, 2, 1, 4}}},
        {"satellite block of the wrong shape drops the set",
         {{"GPGSV,1,1,08,01,02", Ok, false, 0, 0, 0}}},
        {"wrong shape in a continuation drops the set",
         {{gsv(2, 1, 5, 4), Ok, false, 2, 1, 4}, {"GPGSV,2,2,05,01,02", Ok, false, 0, 0, 0}}},
        {"changed in-view count drops the set",
         {{gsv(2, 1, 5, 4), Ok, false, 2, 1, 4}, {gsv(2, 2, 6, 1), Ok, false, 0, 0, 0}}},
        {"fewer than three fields", {{"GPGSV,1,1", Ok, false, 0, 0, 0}}},
        {"first sentence not numbered 1", {{gsv(2, 2, 5, 4), Invalid, false, 0, 0, 0}}},
        {"empty sentence number neither checks nor advances",
         {{gsv(2, 1, 5, 4), Ok, false, 2, 1, 4},
          {"GPGSV,2,,05,05,45,180,40", Ok, false, 2, 1, 5},
          {gsv(2, 2, 5, 0), Ok, true, 2, 2, 5}}},
        {"more than 30 satellites keep the first 30",
         {{gsv(9, 1, 40, 4), Ok, false, 9, 1, 4},
          {gsv(9, 2, 40, 4), Ok, false, 9, 2, 8},
          {gsv(9, 3, 40, 4), Ok, false, 9, 3, 12},
          {gsv(9, 4, 40, 4), Ok, false, 9, 4, 16},
          {gsv(9, 5, 40, 4), Ok, false, 9, 5, 20},
          {gsv(9, 6, 40, 4), Ok, false, 9, 6, 24},
          {gsv(9, 7, 40, 4), Ok, false, 9, 7, 28},
          {gsv(9, 8, 40, 4), Ok, false, 9, 8, 30},
          {gsv(9, 9, 40, 4), Ok, true, 9, 9, 30}}},
        {"two full-width sentences (24 satellites each)",
         {{gsv(2, 1, 48, 24), Ok, false, 2, 1, 24}, {gsv(2, 2, 48, 24), Ok, true, 2, 2, 30}}},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.name);
        CNMEAParser parser;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE("step " + std::to_string(i + 1) + ": " + step.body);
            RecordingListener listener;
            EXPECT_EQ(parse_text(parser, with_checksum(step.body), &listener), step.result == Ok);
            EXPECT_EQ(parser.last_result, step.result);
            ASSERT_EQ(listener.deliveries.size(), step.delivers ? 1u : 0u);
            if (step.delivers) {
                EXPECT_EQ(listener.deliveries[0].id, 3);
                EXPECT_EQ(parser.last_message, NMEAMessageId::GSV);
            }
            EXPECT_EQ(parser.gsv().total, step.total);
            EXPECT_EQ(parser.gsv().number, step.number);
            EXPECT_EQ(parser.gsv().count, step.count);
        }
    }
}

TEST(GsvSet, EntriesInArrivalOrder) {
    CNMEAParser parser;
    RecordingListener listener;
    parse_text(parser, with_checksum(gsv(3, 1, 11, 4, 1)), &listener);
    parse_text(parser, with_checksum(gsv(3, 2, 11, 4, 101)), &listener);
    parse_text(parser, with_checksum("GPGSV,3,3,11,201,,,,202,5,1000,,203,-1,65537,256"),
               &listener);
    ASSERT_EQ(listener.deliveries.size(), 1u);
    const CGSVRecord& record = parser.gsv();
    EXPECT_EQ(record.in_view, 11);
    const int prns[] = {1, 2, 3, 4, 101, 102, 103, 104, 201, 202, 203};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(record.satellites[i].prn, prns[i]) << i;
    }
    // Empty fields keep the markers; values keep their low bits.
    EXPECT_EQ(record.satellites[8].elevation, 0xFF);
    EXPECT_EQ(record.satellites[8].azimuth, 0xFFFF);
    EXPECT_EQ(record.satellites[8].snr, 0xFF);
    EXPECT_EQ(record.satellites[9].azimuth, 1000);
    EXPECT_EQ(record.satellites[9].snr, 0xFF);
    EXPECT_EQ(record.satellites[10].elevation, 0xFF);  // -1
    EXPECT_EQ(record.satellites[10].azimuth, 1);       // 65537
    EXPECT_EQ(record.satellites[10].snr, 0);           // 256
    for (int i = 11; i < 30; ++i) {
        EXPECT_EQ(record.satellites[i].prn, 0xFF) << i;
    }
    EXPECT_EQ(listener.deliveries[0].hex.size(), 184u * 2);
}

TEST(GsaCapacity, SlotsAndDilutions) {
    struct Case {
        int satellite_fields;
        int prn_count;
    };
    for (const Case c : {Case{12, 12}, Case{29, 29}, Case{30, 30}, Case{31, 30}, Case{94, 30}}) {
        SCOPED_TRACE(c.satellite_fields);
        std::string body = "GPGSA,A,3";
        for (int i = 1; i <= c.satellite_fields; ++i) {
            body += "," + std::to_string(i);
        }
        body += ",1.5,2.5,3.5";
        CNMEAParser parser;
        ASSERT_TRUE(parse_text(parser, with_checksum(body)));
        const CGSARecord& gsa = parser.gsa();
        EXPECT_EQ(gsa.prn_count, c.prn_count);
        for (int i = 0; i < 30; ++i) {
            EXPECT_EQ(gsa.prn[i], i < c.prn_count ? i + 1 : 0xFF) << i;
        }
        EXPECT_EQ(gsa.pdop, 1.5f);
        EXPECT_EQ(gsa.hdop, 2.5f);
        EXPECT_EQ(gsa.vdop, 3.5f);
    }
}

TEST(GsaCapacity, EmptySlotsKeepTheirMarker) {
    CNMEAParser parser;
    ASSERT_TRUE(parse_text(parser, with_checksum("GPGSA,M,2,1,2,3,4,5,,,,,,,,1,2,3")));
    const CGSARecord& gsa = parser.gsa();
    EXPECT_EQ(gsa.mode, 'M');
    EXPECT_EQ(gsa.fix_type, 2);
    EXPECT_EQ(gsa.prn_count, 12);
    for (int i = 5; i < 30; ++i) {
        EXPECT_EQ(gsa.prn[i], 0xFF) << i;
    }
}

}  // namespace
}  // namespace tarnwick::test
