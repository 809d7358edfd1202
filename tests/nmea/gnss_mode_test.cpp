// The GNSS mode of the parser: the talkers of multi-system receivers, GSV sets per talker and
// signal, the systems of GSA slots and positions split on the double; and the GPS mode refusing
// all of it as before.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "nmea/parser.h"
#include "nmea/satellite_system.h"
#include "tests/nmea/nmea_test_support.h"

namespace tarnwick::test {
namespace {

using nmea::SatelliteSystem;

// Copies of what the parser delivers, by id.
class CopyingListener final : public CNMEAListener {
  public:
    void on_message(int id, CNMEARecord* record) override {
        ids.push_back(id);
        switch (static_cast<NMEAMessageId>(id)) {
            case NMEAMessageId::GGA:
                gga.push_back(*static_cast<CGGARecord*>(record));
                break;
            case NMEAMessageId::GSA:
                gsa.push_back(*static_cast<CGSARecord*>(record));
                break;
            case NMEAMessageId::GSV:
                gsv.push_back(*static_cast<CGSVRecord*>(record));
                break;
            case NMEAMessageId::RMC:
                rmc.push_back(*static_cast<CRMCRecord*>(record));
                break;
            case NMEAMessageId::GSASystems:
                systems.push_back(*static_cast<CGSASystemsRecord*>(record));
                break;
            default:
                break;
        }
    }
    void set_state(int) override {}

    std::vector<int> ids;
    std::vector<CGGARecord> gga;
    std::vector<CGSARecord> gsa;
    std::vector<CGSVRecord> gsv;
    std::vector<CRMCRecord> rmc;
    std::vector<CGSASystemsRecord> systems;
};

std::uint8_t tag(SatelliteSystem system, int signal) {
    return nmea::satellite_tag(system, signal);
}

struct TalkerCase {
    std::string sentence;
    std::vector<int> gnss_ids;  // delivered in the GNSS mode, in order
    ParseResult gps_result;     // what the GPS mode makes of it, as always
    int gps_deliveries;
};

TEST(GnssMode, SentencesOfEveryTalker) {
    const std::string gsv_body = ",1,1,02,01,40,083,46,02,17,308,41";
    const std::string gsa_body = ",A,3,01,02,03,,,,,,,,,,1.6,0.9,1.3";
    const std::string rmc = "RMC,080359.00,A,5002.453527,N,01958.831794,E,0.0,16.6,301120,,,A,V";
    const std::string gga = "GGA,080359.00,5002.453527,N,01958.831794,E,1,14,0.9,202.1,M,,M,,";
    const std::vector<TalkerCase> cases = {
        {with_checksum("GN" + rmc), {4}, ParseResult::UnknownMessage, 0},
        {with_checksum("GN" + gga), {0}, ParseResult::UnknownMessage, 0},
        {with_checksum("GL" + gga), {0}, ParseResult::UnknownMessage, 0},
        {with_checksum("GNGLL,5002.4535,N,01958.8317,E,080359.00,A,A"),
         {1},
         ParseResult::UnknownMessage,
         0},
        {with_checksum("GNVTG,16.6,T,,M,0.0,N,0.0,K,A"), {5}, ParseResult::UnknownMessage, 0},
        {with_checksum("GNGSA" + gsa_body + ",1"), {9, 2}, ParseResult::UnknownMessage, 0},
        {with_checksum("GPGSA" + gsa_body + ",1"), {9, 2}, ParseResult::Ok, 1},
        {with_checksum("GPGSA" + gsa_body), {9, 2}, ParseResult::Ok, 1},
        {with_checksum("GLGSV" + gsv_body + ",1"), {3}, ParseResult::UnknownMessage, 0},
        {with_checksum("GAGSV" + gsv_body + ",7"), {3}, ParseResult::UnknownMessage, 0},
        {with_checksum("GBGSV" + gsv_body + ",B"), {3}, ParseResult::UnknownMessage, 0},
        {with_checksum("BDGSV" + gsv_body), {3}, ParseResult::UnknownMessage, 0},
        {with_checksum("GQGSV" + gsv_body + ",1"), {3}, ParseResult::UnknownMessage, 0},
        {with_checksum("GIGSV" + gsv_body + ",1"), {3}, ParseResult::UnknownMessage, 0},
        // A GP set with a signal id breaks the 3 + 4k rule of the GPS mode: accepted, dropped.
        {with_checksum("GPGSV" + gsv_body + ",1"), {3}, ParseResult::Ok, 0},
        {with_checksum("GAGSV,1,1,00,7"), {3}, ParseResult::UnknownMessage, 0},
        {with_checksum("GNZDA,080359.00,30,11,2020,00,00"), {}, ParseResult::UnknownMessage, 0},
        {with_checksum("GXGGA" + gga.substr(3)), {}, ParseResult::UnknownMessage, 0},
        {with_checksum("BDGGA" + gga.substr(3)), {0}, ParseResult::UnknownMessage, 0},
        {with_checksum("GNGGA,1,2"), {}, ParseResult::UnknownMessage, 0},
    };
    for (const TalkerCase& c : cases) {
        SCOPED_TRACE(c.sentence);
        CNMEAParser gnss(NMEAMode::gnss);
        CopyingListener listener;
        const bool ok = parse_text(gnss, c.sentence, &listener);
        EXPECT_EQ(listener.ids, c.gnss_ids);
        EXPECT_EQ(ok, gnss.last_result == ParseResult::Ok);
        if (!c.gnss_ids.empty()) {
            EXPECT_EQ(gnss.last_result, ParseResult::Ok);
            EXPECT_EQ(static_cast<int>(gnss.last_message), c.gnss_ids.back());
        }
        CNMEAParser gps;
        RecordingListener recorded;
        parse_text(gps, c.sentence, &recorded);
        EXPECT_EQ(gps.last_result, c.gps_result);
        EXPECT_EQ(recorded.deliveries.size(), static_cast<std::size_t>(c.gps_deliveries));
    }
}

TEST(GnssMode, RefusalsKeepTheirCodes) {
    const struct {
        const char* body;
        ParseResult result;
    } cases[] = {
        {"GNGGA,,,,,,,,,,,,", ParseResult::InvalidGGA},
        {"GNRMC,,,,,,,,,", ParseResult::InvalidRMC},
        {"GLGSV,3,2,09", ParseResult::InvalidGSV},
        {"GNGSA,A,3,,,,,,,,,,,,,,", ParseResult::InvalidGSA},
        {"GNTXT,01,01,02,hello", ParseResult::NotSupportedMessage},
        {"PORZB,1,2,3", ParseResult::UnknownMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        CNMEAParser parser(NMEAMode::gnss);
        CopyingListener listener;
        EXPECT_FALSE(parse_text(parser, with_checksum(c.body), &listener));
        EXPECT_EQ(parser.last_result, c.result);
        EXPECT_TRUE(listener.ids.empty());
        EXPECT_EQ(parser.last_message, NMEAMessageId::None);
    }
}

void feed(CNMEAParser& parser, CNMEAListener& listener, const std::vector<std::string>& bodies) {
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body);
        EXPECT_TRUE(parse_text(parser, with_checksum(body), &listener));
    }
}

TEST(GnssMode, SetsOfTwoSystemsInOneEpochGatherApart) {
    CNMEAParser parser(NMEAMode::gnss);
    CopyingListener listener;
    feed(parser, listener,
         {"GPGSV,2,1,05,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1",
          "GLGSV,2,1,06,65,37,078,27,66,62,349,26,67,20,296,25,75,04,018,,1",
          "GPGSV,2,2,05,32,76,331,31,1", "GLGSV,2,2,06,76,43,057,25,77,43,139,26,1"});
    ASSERT_EQ(listener.gsv.size(), 2u);
    const CGSVRecord& gps = listener.gsv[0];
    EXPECT_EQ(gps.in_view, 5);
    EXPECT_EQ(gps.count, 5);
    EXPECT_EQ(gps.satellites[4].prn, 32);
    const CGSVRecord& glonass = listener.gsv[1];
    EXPECT_EQ(glonass.in_view, 6);
    EXPECT_EQ(glonass.count, 6);
    for (int i = 0; i < CGSVRecord::capacity; ++i) {
        EXPECT_EQ(gps.satellites[i].tag, i < 5 ? tag(SatelliteSystem::gps, 1) : 0) << i;
        EXPECT_EQ(glonass.satellites[i].tag, i < 6 ? tag(SatelliteSystem::glonass, 1) : 0) << i;
    }
    // The same four sentences break each other in the GPS mode's one set.
    CNMEAParser gps_mode;
    RecordingListener recorded;
    for (const char* body :
         {"GPGSV,2,1,05,01,40,083,46", "GPGSV,2,1,06,65,37,078,27", "GPGSV,2,2,05,32,76,331,31"}) {
        parse_text(gps_mode, with_checksum(body), &recorded);
    }
    EXPECT_TRUE(recorded.deliveries.empty());
}

TEST(GnssMode, ASetPerSignal) {
    CNMEAParser parser(NMEAMode::gnss);
    CopyingListener listener;
    // u-blox: each signal's set complete before the next begins; the sets of one talker keep
    // their own numbering.
    feed(parser, listener,
         {"GAGSV,2,1,05,04,46,057,31,05,19,203,23,06,66,093,38,09,65,161,26,1",
          "GAGSV,2,2,05,10,24,121,29,1", "GAGSV,1,1,03,04,46,057,18,05,19,203,16,06,66,093,25,7",
          "GAGSV,1,1,00,0"});
    ASSERT_EQ(listener.gsv.size(), 3u);
    EXPECT_EQ(listener.gsv[0].count, 5);
    EXPECT_EQ(listener.gsv[0].satellites[0].tag, tag(SatelliteSystem::galileo, 1));
    EXPECT_EQ(listener.gsv[1].count, 3);
    EXPECT_EQ(listener.gsv[1].satellites[2].tag, tag(SatelliteSystem::galileo, 7));
    EXPECT_EQ(listener.gsv[2].count, 0);
    EXPECT_EQ(listener.gsv[2].in_view, 0);

    // Interleaved sets of two signals of one talker.
    CopyingListener interleaved;
    feed(parser, interleaved,
         {"GPGSV,2,1,05,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1",
          "GPGSV,2,1,05,01,40,083,30,02,17,308,28,12,07,344,22,14,22,228,33,8",
          "GPGSV,2,2,05,32,76,331,31,1", "GPGSV,2,2,05,32,76,331,20,8"});
    ASSERT_EQ(interleaved.gsv.size(), 2u);
    EXPECT_EQ(interleaved.gsv[0].satellites[0].snr, 46);
    EXPECT_EQ(interleaved.gsv[0].satellites[4].tag, tag(SatelliteSystem::gps, 1));
    EXPECT_EQ(interleaved.gsv[1].satellites[0].snr, 30);
    EXPECT_EQ(interleaved.gsv[1].satellites[4].tag, tag(SatelliteSystem::gps, 8));
}

TEST(GnssMode, ASetWhoseSignalChangesWhileItsNumberingGoesOn) {
    // Quectel LC79D: the last sentence of a GPS set carries the L5 signal.
    CNMEAParser parser(NMEAMode::gnss);
    CopyingListener listener;
    feed(parser, listener,
         {"GPGSV,3,1,07,01,38,160,35,03,80,057,29,04,65,211,44,09,26,227,36,1",
          "GPGSV,3,2,07,31,29,056,18,1", "GPGSV,3,3,07,01,38,160,38,03,80,057,20,8"});
    ASSERT_EQ(listener.gsv.size(), 1u);
    const CGSVRecord& set = listener.gsv[0];
    EXPECT_EQ(set.count, 7);
    EXPECT_EQ(set.satellites[4].tag, tag(SatelliteSystem::gps, 1));
    EXPECT_EQ(set.satellites[5].tag, tag(SatelliteSystem::gps, 8));
    EXPECT_EQ(set.satellites[6].prn, 3);
}

TEST(GnssMode, SatellitesOfACombinedTalkerTakeTheirSystemFromTheirNumber) {
    CNMEAParser parser(NMEAMode::gnss);
    CopyingListener listener;
    feed(parser, listener, {"GNGSV,1,1,04,05,40,083,46,70,17,308,41,195,07,344,39,150,22,228,45"});
    ASSERT_EQ(listener.gsv.size(), 1u);
    const CGSVSatellite* s = listener.gsv[0].satellites;
    EXPECT_EQ(s[0].tag, tag(SatelliteSystem::gps, 0));
    EXPECT_EQ(s[1].tag, tag(SatelliteSystem::glonass, 0));
    EXPECT_EQ(s[2].tag, tag(SatelliteSystem::qzss, 0));
    EXPECT_EQ(s[3].tag, tag(SatelliteSystem::unknown, 0));
}

struct GsaCase {
    std::string body;
    std::vector<std::uint8_t> systems;  // of the first slots; the rest are 0
    int prn_count;
    float pdop, hdop, vdop;
};

TEST(GnssMode, GsaSystemsComeBeforeEachGsa) {
    const std::vector<GsaCase> cases = {
        // 4.10: the system id after the dilutions.
        {"GNGSA,A,3,01,03,04,,,,,,,,,,1.6,0.9,1.3,1", {1, 1, 1}, 12, 1.6f, 0.9f, 1.3f},
        {"GNGSA,A,3,103,132,,,,,,,,,,,1.6,0.9,1.3,3", {3, 3}, 12, 1.6f, 0.9f, 1.3f},
        {"GNGSA,A,3,12,22,43,,,,,,,,,,1.12,0.62,0.94,4", {4, 4, 4}, 12, 1.12f, 0.62f, 0.94f},
        {"GNGSA,A,3,,,,,,,,,,,,,1.12,0.62,0.94,6", {}, 12, 1.12f, 0.62f, 0.94f},
        // Before 4.10: the numbers tell the system.
        {"GNGSA,A,3,73,82,,,,,,,,,,,1.8,0.9,1.5", {2, 2}, 12, 1.8f, 0.9f, 1.5f},
        {"GNGSA,A,3,01,11,67,,,,,,,,,,1.56,0.91,1.27", {1, 1, 2}, 12, 1.56f, 0.91f, 1.27f},
        {"BDGSA,A,3,01,02,,,,,,,,,,,1.5,0.9,1.2", {4, 4}, 12, 1.5f, 0.9f, 1.2f},
        // A field after the dilutions that is no system id is read as before.
        {"GNGSA,A,3,01,,,,,,,,,,,,1.5,0.9,1.2,2.5",
         {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
         13,
         0.9f,
         1.2f,
         2.5f},
    };
    for (const GsaCase& c : cases) {
        SCOPED_TRACE(c.body);
        CNMEAParser parser(NMEAMode::gnss);
        CopyingListener listener;
        ASSERT_TRUE(parse_text(parser, with_checksum(c.body), &listener));
        ASSERT_EQ(listener.ids, (std::vector<int>{9, 2}));
        const CGSARecord& gsa = listener.gsa[0];
        EXPECT_EQ(gsa.prn_count, c.prn_count);
        EXPECT_EQ(gsa.pdop, c.pdop);
        EXPECT_EQ(gsa.hdop, c.hdop);
        EXPECT_EQ(gsa.vdop, c.vdop);
        for (std::size_t i = 0; i < CGSASystemsRecord::capacity; ++i) {
            EXPECT_EQ(listener.systems[0].system[i], i < c.systems.size() ? c.systems[i] : 0) << i;
        }
    }
}

TEST(GnssMode, PositionsSplitOnTheDouble) {
    struct Case {
        const char* latitude;
        const char* longitude;
        std::int32_t lat_deg, lon_deg;
        float gnss_lat_min, gnss_lon_min;  // the GPS mode keeps the single-precision split
    };
    const Case cases[] = {
        {"4404.14063", "08704.0848", 44, 87, 4.14063f, 4.0848f},
        {"5002.4535271", "01958.8317942", 50, 19, 2.4535271f, 58.8317942f},
        {"0000.0001", "17959.9999999", 0, 179, 0.0001f, 59.9999999f},
        {"-4807.038", "-01131.000", -48, -11, static_cast<float>(-4807.038 + 4800.0), -31.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.longitude);
        const std::string body = std::string("GNGGA,123519,") + c.latitude + ",N," + c.longitude +
                                 ",E,1,08,0.9,545.4,M,46.9,M,,";
        CNMEAParser parser(NMEAMode::gnss);
        CopyingListener listener;
        ASSERT_TRUE(parse_text(parser, with_checksum(body), &listener));
        const CNMEAPosition& p = listener.gga.at(0).position;
        EXPECT_EQ(p.lat_deg, c.lat_deg);
        EXPECT_EQ(p.lon_deg, c.lon_deg);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(p.lat_min),
                  std::bit_cast<std::uint32_t>(c.gnss_lat_min));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(p.lon_min),
                  std::bit_cast<std::uint32_t>(c.gnss_lon_min));
    }
    // The example: 87°04.0848' in both modes.
    CNMEAParser gps;
    CNMEAParser gnss(NMEAMode::gnss);
    CopyingListener gps_seen;
    CopyingListener gnss_seen;
    const std::string rmc = "RMC,1,A,4404.14063,N,08704.0848,W,0,0,010120,,";
    parse_text(gps, with_checksum("GP" + rmc), &gps_seen);
    parse_text(gnss, with_checksum("GP" + rmc), &gnss_seen);
    EXPECT_EQ(gps_seen.rmc.at(0).position.lon_min, 4.08496094f);
    EXPECT_EQ(gnss_seen.rmc.at(0).position.lon_min, 4.0848f);
}

TEST(GnssMode, CoordinatesBeyondInt32KeepTheSinglePrecisionRule) {
    for (const char* text : {"1e10", "-1e10", "nan", "inf", "3000000000"}) {
        SCOPED_TRACE(text);
        const std::string body = std::string("GNGLL,") + text + ",N," + text + ",E,1,A";
        const std::string gp_body = std::string("GPGLL,") + text + ",N," + text + ",E,1,A";
        CNMEAParser gnss(NMEAMode::gnss);
        CNMEAParser gps;
        RecordingListener gnss_seen;
        RecordingListener gps_seen;
        ASSERT_TRUE(parse_text(gnss, with_checksum(body), &gnss_seen));
        ASSERT_TRUE(parse_text(gps, with_checksum(gp_body), &gps_seen));
        EXPECT_EQ(gnss_seen.deliveries.at(0).hex, gps_seen.deliveries.at(0).hex);
        EXPECT_EQ(gnss.gll().position.lat_deg, INT32_MIN / 100);
    }
}

TEST(GnssMode, TheGpsModeTagsNothing) {
    CNMEAParser parser;
    CopyingListener listener;
    feed(parser, listener, {"GPGSV,1,1,02,01,40,083,46,70,17,308,41"});
    ASSERT_EQ(listener.gsv.size(), 1u);
    for (const CGSVSatellite& s : listener.gsv[0].satellites) {
        EXPECT_EQ(s.tag, 0);
    }
}

}  // namespace
}  // namespace tarnwick::test
