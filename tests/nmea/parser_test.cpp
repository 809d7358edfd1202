// Framing, checksum, identification and delivery of whole sentences.

#include <gtest/gtest.h>

#include <string>

#include "nmea/parser.h"
#include "tests/nmea/nmea_test_support.h"

namespace tarnwick::test {
namespace {

const char* const gga_body = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

std::string commas(int n) {
    return std::string(static_cast<std::size_t>(n), ',');
}

struct FramingCase {
    const char* name;
    std::string text;
    ParseResult result;
};

TEST(Parser, FramingAndIdentification) {
    const FramingCase cases[] = {
        {"correct sentence", with_checksum(gga_body), ParseResult::Ok},
        {"literal checksum", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
         ParseResult::Ok},
        {"lower-case checksum", "$GPGLL,4916.45,N,12311.12,W,225444,A,*1d", ParseResult::Ok},
        {"three-digit checksum", "$GPGLL,4916.45,N,12311.12,W,225444,A,*01D", ParseResult::Ok},
        {"first character G", "GPGLL,4916.45,N,12311.12,W,225444,A,*1D",
         ParseResult::UnknownFormat},
        {"empty line", "", ParseResult::UnknownFormat},
        {"only $", "$", ParseResult::InvalidChecksum},
        {"no *", "$GPGLL,4916.45,N,12311.12,W,225444,A,", ParseResult::InvalidChecksum},
        {"wrong checksum", "$GPGLL,4916.45,N,12311.12,W,225444,A,*1E",
         ParseResult::InvalidChecksum},
        {"checksum not hex", "$GPGLL,4916.45,N,12311.12,W,225444,A,*G1D",
         ParseResult::InvalidChecksum},
        {"99 commas pass framing", with_checksum("GPGGA" + commas(99)), ParseResult::Ok},
        {"100 commas", with_checksum("GPGGA" + commas(100)), ParseResult::TooManyParams},
        {"100 commas, bad checksum", "$GPGGA" + commas(100) + "*00", ParseResult::TooManyParams},
        {"100th comma at the end", "$GPGGA" + commas(100), ParseResult::TooManyParams},
        {"talker GN", with_checksum("GNGGA,,,,,,,,,,,,,,"), ParseResult::UnknownMessage},
        {"talker GL GSV", with_checksum("GLGSV,1,1,00"), ParseResult::UnknownMessage},
        {"empty address", with_checksum(""), ParseResult::UnknownMessage},
        {"one-letter address", with_checksum("G,1"), ParseResult::UnknownMessage},
        {"GP ZDA", with_checksum("GPZDA,1,2,3"), ParseResult::NotSupportedMessage},
        {"GP GSx", with_checksum("GPGSB,1,2,3"), ParseResult::NotSupportedMessage},
        {"GP short address", with_checksum("GPG"), ParseResult::NotSupportedMessage},
        {"PORZB", with_checksum("PORZB,1,2,3"), ParseResult::UnknownMessage},
        {"PORZ only", with_checksum("PORZ,1,2,3"), ParseResult::UnknownMessage},
        {"six-character address", with_checksum("GPGGAX" + commas(14)), ParseResult::Ok},
        {"GGA with 13 fields", with_checksum("GPGGA" + commas(13)), ParseResult::InvalidGGA},
        {"GLL with 5 fields", with_checksum("GPGLL" + commas(5)), ParseResult::InvalidGLL},
        {"GSA with 16 fields", with_checksum("GPGSA" + commas(16)), ParseResult::InvalidGSA},
        {"GSV out of sequence", with_checksum("GPGSV,3,2,09"), ParseResult::InvalidGSV},
        {"RMC with 10 fields", with_checksum("GPRMC" + commas(10)), ParseResult::InvalidRMC},
        {"VTG with 7 fields", with_checksum("GPVTG" + commas(7)), ParseResult::InvalidVTG},
        {"PORZA with 2 fields", with_checksum("PORZA,1,2"), ParseResult::InvalidPORZA},
        {"PORZX with 5 fields", with_checksum("PORZX,1,2,3,4,5"), ParseResult::InvalidPORZX},
    };
    for (const FramingCase& c : cases) {
        SCOPED_TRACE(c.name);
        CNMEAParser parser;
        RecordingListener listener;
        const bool ok = parse_text(parser, c.text, &listener);
        EXPECT_EQ(parser.last_result, c.result);
        EXPECT_EQ(ok, c.result == ParseResult::Ok);
        EXPECT_EQ(listener.deliveries.size(), c.result == ParseResult::Ok ? 1u : 0u);
        EXPECT_TRUE(listener.states.empty());
    }
}

TEST(Parser, SplitsFieldsInPlace) {
    const std::string original = "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D";
    std::string expected = original;
    for (char& c : expected) {
        if (c == ',' || c == '*') {
            c = '\0';
        }
    }
    std::string text = original;
    CNMEAParser parser;
    ASSERT_TRUE(parser.parse(text.data(), text.data() + text.size(), nullptr));
    EXPECT_EQ(text, expected);
}

TEST(Parser, ChecksumTextStopsAtEnd) {
    // The checksum digits beyond end are never read: here they would make it correct.
    std::string text = "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D";
    CNMEAParser parser;
    EXPECT_FALSE(parser.parse(text.data(), text.data() + text.size() - 1, nullptr));
    EXPECT_EQ(parser.last_result, ParseResult::InvalidChecksum);
}

TEST(Parser, ChecksumAcceptsStrtolForms) {
    // What strtol(…, 16) reads: blanks, a sign and a 0x prefix are tolerated; receivers never
    // send them, and every one yields the same number.
    for (const char* tail : {" 1D", "+1D", "0x1D", "0X1d", "1D\r\n", "001D", "1Dzz"}) {
        SCOPED_TRACE(tail);
        CNMEAParser parser;
        EXPECT_TRUE(
            parse_text(parser, std::string("$GPGLL,4916.45,N,12311.12,W,225444,A,*") + tail));
    }
    for (const char* tail : {"-1D", "1 D", "x1D"}) {
        SCOPED_TRACE(tail);
        CNMEAParser parser;
        EXPECT_FALSE(
            parse_text(parser, std::string("$GPGLL,4916.45,N,12311.12,W,225444,A,*") + tail));
    }
}

TEST(Parser, InitialState) {
    CNMEAParser parser;
    EXPECT_EQ(parser.last_result, ParseResult::Ok);
    EXPECT_EQ(parser.last_message, NMEAMessageId::None);
    EXPECT_EQ(parser.gsa().fix_type, 1);
    EXPECT_EQ(parser.gsv().satellites[29].prn, 0xFF);
}

TEST(Parser, RefusedSentenceKeepsLastMessageAndOtherRecords) {
    CNMEAParser parser;
    RecordingListener listener;
    ASSERT_TRUE(parse_text(
        parser, with_checksum("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        &listener));
    ASSERT_TRUE(parse_text(parser, with_checksum(gga_body), &listener));
    EXPECT_EQ(parser.last_message, NMEAMessageId::GGA);
    ASSERT_TRUE(parse_text(
        parser, with_checksum("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        &listener));

    // A GGA with too few fields clears the GGA record but touches nothing else.
    EXPECT_FALSE(parse_text(parser, with_checksum("GPGGA,123519,4807.038,N,,,,,,,,,"), &listener));
    EXPECT_EQ(parser.last_result, ParseResult::InvalidGGA);
    EXPECT_EQ(parser.last_message, NMEAMessageId::RMC);
    EXPECT_EQ(serialized_hex(parser.gga()), serialized_hex(CGGARecord{}));
    EXPECT_EQ(parser.rmc().status, 'A');
    EXPECT_EQ(parser.rmc().position.lat_deg, 48);

    for (const char* text : {"GPGGA,1*00", "$GPXYZ*", "bad"}) {
        parse_text(parser, text, &listener);
        EXPECT_EQ(parser.last_message, NMEAMessageId::RMC);
    }
    EXPECT_EQ(listener.deliveries.size(), 3u);
}

TEST(Parser, WorksWithoutListener) {
    CNMEAParser parser;
    EXPECT_TRUE(parse_text(parser, with_checksum(gga_body)));
    EXPECT_EQ(parser.last_message, NMEAMessageId::GGA);
    EXPECT_EQ(parser.gga().time.minute, 35);
}

TEST(Parser, EachDecodeStartsFromAClearedRecord) {
    CNMEAParser parser;
    ASSERT_TRUE(parse_text(parser, with_checksum(gga_body)));
    ASSERT_TRUE(parse_text(parser, with_checksum("GPGGA,,,,,,,,,,,,,,")));
    EXPECT_EQ(serialized_hex(parser.gga()), std::string(51 * 2, '0'));
}

TEST(Parser, ResultNames) {
    EXPECT_STREQ(parse_result_name(ParseResult::Ok), L"Ok");
    EXPECT_STREQ(parse_result_name(ParseResult::TooManyParams), L"TooManyParams");
    EXPECT_STREQ(parse_result_name(ParseResult::NotSupportedMessage), L"NotSupportedMessage");
    EXPECT_STREQ(parse_result_name(ParseResult::InvalidVTG), L"InvalidVTG");
    EXPECT_STREQ(parse_result_name(ParseResult::InvalidPORZA), L"Unknown");
    EXPECT_STREQ(parse_result_name(ParseResult::InvalidPORZX), L"Unknown");
    EXPECT_STREQ(parse_result_name(200), L"Unknown");
    EXPECT_STREQ(parse_result_name(-1), L"Unknown");
}

TEST(Parser, MessageIdsAreTheWireNumbers) {
    EXPECT_EQ(static_cast<int>(NMEAMessageId::GGA), 0);
    EXPECT_EQ(static_cast<int>(NMEAMessageId::PORZX), 7);
    EXPECT_EQ(static_cast<int>(NMEAMessageId::None), 8);
    EXPECT_STREQ(message_type_name(3), "GSV");
    EXPECT_STREQ(message_type_name(8), "None");
}

}  // namespace
}  // namespace tarnwick::test
