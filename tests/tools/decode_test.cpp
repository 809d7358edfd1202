// `tarnwick decode` as a user runs it: a real process over real files.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/tools/tool_runner.h"

namespace tarnwick::test {
namespace {

ToolRun decode(std::vector<std::string> arguments, const std::filesystem::path& input = {}) {
    arguments.insert(arguments.begin(), "decode");
    return run_tool(built_program("tools/tarnwick/tarnwick"), arguments, input);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Three sentences whose records are worked out by hand below, one refused sentence, and noise.
const std::string sentences =
    "garbage\xff\r\n"
    "$PORZA,1,-2,300*67\r\n"
    "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n"
    "$GPGLL,4916.45,N,12311.12,W,225444,A*31\r\n"
    "$GPGLL,4916.45,N,12311.12,W,225444,A*32\r\n";

class DecodeTest : public testing::Test {
  protected:
    std::filesystem::path write_input(const std::string& name, const std::string& bytes) {
        const auto path = dir_.path() / name;
        write_file(path, bytes);
        return path;
    }

    TempDir dir_;
};

TEST_F(DecodeTest, RawPrintsTheIdAndTheSerializedBytesOfEachRecord) {
    const auto input = write_input("in.nmea", sentences);
    const std::string expected =
        "6 01000000feffffff2c010000\n"
        "5 cdcc5a42549a9909424d0000b0404e333323414b\n"
        "1 31000000009a83414e7b00000000ec31415716360000304241\n";
    for (const char* framing : {"serial", "file"}) {
        const ToolRun run = decode({"--framing", framing, input.string()});
        EXPECT_EQ(run.exit_code, 0) << framing;
        EXPECT_EQ(run.out, expected) << framing;
        EXPECT_EQ(run.err, "") << framing;
    }
    // Raw is the default format, and standard input the default input.
    EXPECT_EQ(decode({}, input).out, expected);
    EXPECT_EQ(decode({"-"}, input).out, expected);
}

TEST_F(DecodeTest, FramingDecidesWhereBareLineFeedsEndASentence) {
    const auto input = write_input("lf.nmea", "$PORZA,1,-2,300*67\n$PORZA,1,-2,300*67\n");
    // Serial framing waits for CR LF: the second '$' restarts, and nothing completes.
    const ToolRun serial = decode({"--framing", "serial", "--stats", input.string()});
    EXPECT_EQ(serial.out, "");
    EXPECT_NE(serial.err.find("restarted 1\n"), std::string::npos) << serial.err;
    EXPECT_EQ(decode({"--framing", "file", input.string()}).out,
              "6 01000000feffffff2c010000\n6 01000000feffffff2c010000\n");
}

TEST_F(DecodeTest, JsonRendersMembersUnderTheirNames) {
    const auto input = write_input(
        "in.nmea", sentences +
                       "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,*1F\r\n"
                       "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"
                       "$GPGSV,1,1,02,07,79,048,42,02,51,062,*7A\r\n");
    const ToolRun run = decode({"--format", "json", input.string()});
    ASSERT_EQ(run.exit_code, 0);
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 6u) << run.out;
    EXPECT_EQ(lines[0], R"({"id":6,"type":"PORZA","param1":1,"param2":-2,"param3":300})");
    EXPECT_EQ(lines[1], R"({"id":5,"type":"VTG","course_true":54.7,"course_true_ref":"T",)"
                        R"("course_magnetic":34.4,"course_magnetic_ref":"M","speed_knots":5.5,)"
                        R"("speed_knots_unit":"N","speed_kmh":10.2,"speed_kmh_unit":"K"})");

    const auto gll = nlohmann::json::parse(lines[2]);
    EXPECT_EQ(gll["type"], "GLL");
    EXPECT_EQ(gll["position"]["lat_deg"], 49);
    EXPECT_EQ(gll["position"]["lon_hemi"], "W");
    EXPECT_EQ(gll["time"]["hour"], 22);
    EXPECT_EQ(gll["time"]["second"], 44.0);

    const auto gga = nlohmann::json::parse(lines[3]);
    EXPECT_EQ(gga["id"], 0);
    EXPECT_EQ(gga["altitude_unit"], "M");
    EXPECT_TRUE(gga["separation_unit"].is_null()) << "an empty character field is null";
    EXPECT_EQ(gga["satellites"], 8);

    const auto gsa = nlohmann::json::parse(lines[4]);
    ASSERT_EQ(gsa["prn"].size(), 30u);
    EXPECT_EQ(gsa["prn"][0], 4);
    EXPECT_EQ(gsa["prn"][2], 255) << "an empty slot keeps its marker";
    EXPECT_EQ(gsa["prn_count"], 12);

    const auto gsv = nlohmann::json::parse(lines[5]);
    EXPECT_EQ(gsv["in_view"], 2);
    ASSERT_EQ(gsv["satellites"].size(), 30u);
    EXPECT_EQ(gsv["satellites"][0],
              nlohmann::json({{"prn", 7}, {"elevation", 79}, {"azimuth", 48}, {"snr", 42}}));
    EXPECT_EQ(gsv["satellites"][1]["snr"], 255);
    EXPECT_EQ(gsv["satellites"][29]["azimuth"], 65535);
}

TEST_F(DecodeTest, JsonStaysValidUtf8WhateverByteACharacterHolds) {
    // PORZX takes the first byte of its sixth field, here one above 127.
    const auto input = write_input("porzx.nmea", "$PORZX,1,2,,,3,\xe9x*EE\r\n");
    const ToolRun run = decode({"--format", "json", input.string()});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out,
              "{\"id\":7,\"type\":\"PORZX\",\"param1\":1,\"receiver\":2,\"param5\":3,"
              "\"param6\":\"\xc3\xa9\"}\n");
}

TEST_F(DecodeTest, StatsCountRecordsByTypeAndRefusalsByName) {
    const auto input =
        write_input("in.nmea", sentences + "$GPZDA,1*55\r\n$XYZ*5B\r\n$GPRMC,1*00\r\n");
    const ToolRun run = decode({"--stats", input.string()});
    ASSERT_EQ(run.exit_code, 0);
    EXPECT_EQ(lines_of(run.out).size(), 3u);
    const std::string err = run.err;
    for (const char* expected :
         {"delivered 3\n", "  GLL   1\n", "  VTG   1\n", "  PORZA 1\n", "  RMC   0\n",
          "refused 4\n", "  InvalidChecksum 2\n", "  NotSupportedMessage 1\n",
          "  UnknownMessage 1\n", "overrun 0\n"}) {
        EXPECT_NE(err.find(expected), std::string::npos) << "missing " << expected << " in\n"
                                                         << err;
    }
}

TEST_F(DecodeTest, GnssDecodesEverySystemAndTagsItsSatellites) {
    const auto input = write_input(
        "gnss.nmea",
        "$GNGGA,193334.00,4404.13124,N,12118.84810,W,1,12,0.62,1139.9,M,-21.3,M,,*49\r\n"
        "$GAGSV,1,1,02,04,46,057,31,05,19,203,23,7*7A\r\n"
        "$GNGSA,A,3,06,09,,,,,,,,,,,1.12,0.62,0.94,3*07\r\n");
    const ToolRun plain = decode({"--stats", input.string()});
    EXPECT_EQ(plain.out, "");
    EXPECT_NE(plain.err.find("  UnknownMessage 3\n"), std::string::npos) << plain.err;

    const ToolRun run = decode({"--gnss", "--stats", "--format", "json", input.string()});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(nlohmann::json::parse(lines[0])["position"]["lon_min"], 18.8481);
    const auto gsv = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(gsv["satellites"][0]["system"], "Galileo");
    EXPECT_EQ(gsv["satellites"][0]["signal"], 7);
    EXPECT_FALSE(gsv["satellites"][2].contains("system"));
    const auto systems = nlohmann::json::parse(lines[2]);
    EXPECT_EQ(systems["type"], "GSASYS");
    EXPECT_EQ(systems["systems"][1], "Galileo");
    EXPECT_EQ(systems["systems"][2], nullptr);
    EXPECT_EQ(nlohmann::json::parse(lines[3])["vdop"], 0.94);
    EXPECT_NE(run.err.find("  GSASYS 1\n"), std::string::npos) << run.err;
}

TEST_F(DecodeTest, UnreadableInputIsOneLineOnStderrAndExitTwo) {
    const std::vector<std::filesystem::path> unreadable = {dir_.path() / "missing.nmea",
                                                           dir_.path()};
    for (const auto& path : unreadable) {
        const ToolRun run = decode({path.string()});
        EXPECT_EQ(run.exit_code, 2) << path;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find(path.string()), std::string::npos) << run.err;
    }
}

TEST_F(DecodeTest, OutputThatCannotBeWrittenIsAnError) {
    const auto input = write_input("in.nmea", sentences);
    const ToolRun run = run_tool(built_program("tools/tarnwick/tarnwick"),
                                 {"decode", input.string()}, {}, "/dev/full");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

TEST_F(DecodeTest, MalformedCommandLineIsRefused) {
    EXPECT_EQ(decode({"--format", "xml"}).exit_code, 2);
    EXPECT_EQ(decode({"--framing", "tcp"}).exit_code, 2);
}

// Every raw line must be an id and exactly the byte form of that record type.
void expect_well_formed_raw(const std::string& out, const std::string& what) {
    static const std::map<char, std::size_t> sizes = {{'0', 51}, {'1', 25}, {'2', 48}, {'3', 184},
                                                      {'4', 41}, {'5', 20}, {'6', 12}, {'7', 13}};
    for (const std::string& line : lines_of(out)) {
        const bool shaped = line.size() > 2 && sizes.count(line[0]) == 1 && line[1] == ' ' &&
                            line.find_first_not_of("0123456789abcdef", 2) == std::string::npos;
        ASSERT_TRUE(shaped) << what << ": " << line;
        ASSERT_EQ(line.size() - 2, 2 * sizes.at(line[0])) << what << ": " << line;
    }
}

std::size_t delivered_count(const std::string& stats) {
    const std::size_t at = stats.find("delivered ");
    return at == std::string::npos ? 0 : std::stoul(stats.substr(at + 10));
}

TEST(DecodeSample, TheBundledTrackDecodesWhollyInBothFramings) {
    const auto sample = std::filesystem::path(TARNWICK_SOURCE_DIR) / "data/sample-track.nmea";
    for (const char* framing : {"serial", "file"}) {
        const ToolRun run = decode({"--framing", framing, "--stats", sample.string()});
        ASSERT_EQ(run.exit_code, 0);
        expect_well_formed_raw(run.out, framing);
        // Five minutes at 1 Hz, one record of each kind per second, nothing refused.
        for (const char* type : {"GGA", "GLL", "GSA", "GSV", "RMC", "VTG"}) {
            EXPECT_NE(run.err.find("  " + std::string(type) +
                                   std::string(5 - std::strlen(type), ' ') + " 300\n"),
                      std::string::npos)
                << type << "\n"
                << run.err;
        }
        EXPECT_NE(run.err.find("refused 0\n"), std::string::npos) << run.err;
    }
}

TEST(DecodeCorpus, RealCapturesDecodeInBothFramings) {
    TARNWICK_REQUIRE_CORPUS();
    std::size_t file_framing_records = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus_dir())) {
        if (entry.path().extension() != ".log") {
            continue;
        }
        for (const char* framing : {"serial", "file"}) {
            const std::string what = entry.path().filename().string() + " " + framing;
            const ToolRun run = decode({"--framing", framing, "--stats", entry.path().string()});
            ASSERT_EQ(run.exit_code, 0) << what;
            expect_well_formed_raw(run.out, what);
            EXPECT_EQ(lines_of(run.out).size(), delivered_count(run.err)) << what;
            if (std::string(framing) == "file") {
                file_framing_records += delivered_count(run.err);
            }
        }
    }
    // The file framing takes every kind of line end, so the captures yield plenty of records.
    EXPECT_GT(file_framing_records, 1000u);
}

}  // namespace
}  // namespace tarnwick::test
