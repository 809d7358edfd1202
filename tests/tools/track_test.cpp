// `tarnwick decode --format gpx|geojson` over real files, read back with a GPX library and a
// JSON parser and compared with the decoder's own records of the same input.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/tools/tool_runner.h"
#include "tests/tools/track_check.h"

namespace tarnwick::test {
namespace {

const std::filesystem::path source_dir(TARNWICK_SOURCE_DIR);

// The sentence with its checksum and CR LF.
std::string sentence(const std::string& body) {
    unsigned char sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

std::size_t occurrences(const std::string& text, const std::string& word) {
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

class DecodeTrack : public testing::Test {
  protected:
    void SetUp() override {
        if (!gpxpy_available()) {
            GTEST_SKIP() << "python3 with gpxpy is not installed";
        }
    }

    // Decodes input as `format` into a file; the run's exit code is checked.
    std::filesystem::path track_of(const std::filesystem::path& input, const std::string& format,
                                   bool gnss = false, const std::string& framing = "serial") {
        const auto track = dir_.path() / (input.stem().string() + "." + format);
        std::vector<std::string> arguments = {"decode",    "--format", format,
                                              "--framing", framing,    input.string()};
        if (gnss) {
            arguments.insert(arguments.begin() + 1, "--gnss");
        }
        const ToolRun run =
            run_tool(built_program("tools/tarnwick/tarnwick"), arguments, {}, track);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        return track;
    }

    std::filesystem::path input(const std::string& name, const std::string& bytes) {
        const auto path = dir_.path() / name;
        write_file(path, bytes);
        return path;
    }

    TempDir dir_;
};

TEST_F(DecodeTrack, EveryValidFixOfARecordingIsOnePointInBothFormats) {
    const struct {
        const char* file;
        bool gnss;
        int valid_fixes;  // -1: whatever the records say
    } recordings[] = {
        {"data/sample-track.nmea", false, 265},
        {"tests/data/sim-drive-seed7.nmea", false, -1},
        {"tests/data/sim-few-satellites-seed3.nmea", false, -1},
        {"tests/data/sim-gnss-seed11.nmea", true, -1},
    };
    for (const auto& recording : recordings) {
        const auto path = source_dir / recording.file;
        const auto records = decoded_records(path, dir_.path(), recording.gnss);
        for (const char* format : {"gpx", "geojson"}) {
            const TrackCheck checked =
                check_track(format, track_of(path, format, recording.gnss), records);
            EXPECT_TRUE(checked.passed) << recording.file << " " << format << "\n"
                                        << checked.report;
            EXPECT_GT(checked.points, 0) << recording.file << " " << format;
            if (recording.valid_fixes >= 0) {
                EXPECT_EQ(checked.points, recording.valid_fixes) << recording.file << " " << format;
            }
        }
    }
}

// Two epochs as a receiver that sends GGA and GSA before RMC does; each point takes the
// altitude, satellites and dilutions of its own moment.
const std::string gga_first =
    sentence("GPGGA,093001.00,4530.125,N,07334.0625,W,1,09,0.90,120.5,M,-32.4,M,,") +
    sentence("GPGSA,A,3,02,05,07,09,12,13,15,17,20,,,,1.70,0.90,1.44") +
    sentence("GPGSV,1,1,01,02,67,041,43") +
    sentence("GPRMC,093001.00,A,4530.125,N,07334.0625,W,3.499,70.48,140326,14.2,W,A") +
    sentence("GPGGA,093001.50,4530.250,S,00000.0000,E,2,04,,121.0,M,-32.4,M,3,0101") +
    sentence("GPGSA,A,2,02,05,07,09,,,,,,,,,2.50,,") +
    sentence("GPRMC,093001.50,A,4530.250,S,00000.0000,E,,,140326,,,D");

TEST_F(DecodeTrack, EachPointCarriesItsEpochInTheSchemasOrder) {
    const auto path = input("gga-first.nmea", gga_first);
    const std::string gpx = read_file(track_of(path, "gpx"));
    EXPECT_EQ(gpx,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<gpx version=\"1.1\" creator=\"tarnwick\"\n"
              "     xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
              "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
              "     xmlns:tarnwick=\"urn:tarnwick:gpx:1\"\n"
              "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
              "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
              "<trk>\n"
              "<trkseg>\n"
              "  <trkpt lat=\"45.5020833\" lon=\"-73.5677083\">\n"
              "    <ele>120.5</ele>\n"
              "    <time>2026-03-14T09:30:01Z</time>\n"
              "    <fix>3d</fix>\n"
              "    <sat>9</sat>\n"
              "    <hdop>0.9</hdop>\n"
              "    <vdop>1.44</vdop>\n"
              "    <pdop>1.7</pdop>\n"
              "    <extensions>\n"
              "      <tarnwick:speed>1.8</tarnwick:speed>\n"
              "      <tarnwick:course>70.48</tarnwick:course>\n"
              "    </extensions>\n"
              "  </trkpt>\n"
              "  <trkpt lat=\"-45.5041667\" lon=\"0\">\n"
              "    <ele>121</ele>\n"
              "    <time>2026-03-14T09:30:01.500Z</time>\n"
              "    <fix>dgps</fix>\n"
              "    <sat>4</sat>\n"
              "    <pdop>2.5</pdop>\n"
              "    <extensions>\n"
              "      <tarnwick:speed>0</tarnwick:speed>\n"
              "      <tarnwick:course>0</tarnwick:course>\n"
              "    </extensions>\n"
              "  </trkpt>\n"
              "</trkseg>\n"
              "</trk>\n"
              "</gpx>\n");
    const auto records = decoded_records(path, dir_.path());
    for (const char* format : {"gpx", "geojson"}) {
        const TrackCheck checked = check_track(format, track_of(path, format), records);
        EXPECT_TRUE(checked.passed) << format << "\n" << checked.report;
        EXPECT_EQ(checked.points, 2) << format;
    }
    const std::string geojson = read_file(track_of(path, "geojson"));
    EXPECT_NE(geojson.find(R"({"type":"Feature","geometry":{"type":"Point","coordinates":)"
                           R"([-73.5677083,45.5020833]},"properties":{"time":)"
                           R"("2026-03-14T09:30:01Z","ele":120.5,"speed":1.8,"course":70.48,)"
                           R"("fix":"3d","sat":9,"hdop":0.9,"vdop":1.44,"pdop":1.7}})"),
              std::string::npos)
        << geojson;
    EXPECT_NE(geojson.find(R"({"type":"LineString","coordinates":)"
                           R"([[-73.5677083,45.5020833],[0.0,-45.5041667]]})"),
              std::string::npos)
        << geojson;
}

TEST_F(DecodeTrack, AnInputWithoutAValidFixIsAValidEmptyTrack) {
    const struct {
        const char* name;
        std::string bytes;
    } inputs[] = {
        {"empty", ""},
        {"noise", "garbage\xff\r\n$GPRMC,1*00\r\n"},
        {"no-fix", sentence("GPRMC,093000.00,V,,,,,,,140326,,,N") +
                       sentence("GPGGA,093000.00,,,,,0,00,,,M,,M,,") +
                       sentence("GPRMC,093001.00,V,4530.125,N,07334.0625,W,,,140326,,,N")},
    };
    for (const auto& in : inputs) {
        const auto path = input(std::string(in.name) + ".nmea", in.bytes);
        const auto records = decoded_records(path, dir_.path());
        for (const char* format : {"gpx", "geojson"}) {
            const TrackCheck checked = check_track(format, track_of(path, format), records);
            EXPECT_TRUE(checked.passed) << in.name << " " << format << "\n" << checked.report;
            EXPECT_EQ(checked.points, 0) << in.name << " " << format;
        }
        EXPECT_EQ(read_file(track_of(path, "geojson")),
                  "{\"type\":\"FeatureCollection\",\"features\":[\n\n]}\n")
            << in.name;
    }
}

TEST_F(DecodeTrack, AValidFixOffTheGlobeIsLeftOutAndAnImpossibleDateLosesOnlyTheTime) {
    const struct {
        const char* rmc;
        std::size_t points;
        std::size_t times;
    } cases[] = {
        {"GPRMC,093001.00,A,9130.000,N,07334.0625,W,1.0,10.0,140326,,,A", 0, 0},
        {"GPRMC,093001.00,A,4530.125,N,18030.000,W,1.0,10.0,140326,,,A", 0, 0},
        {"GPRMC,093001.00,A,4530.125,,07334.0625,W,1.0,10.0,140326,,,A", 0, 0},
        {"GPRMC,093001.00,A,4530.125,N,07334.0625,X,1.0,10.0,140326,,,A", 0, 0},
        {"GPRMC,093001.00,A,,,,,1.0,10.0,140326,,,A", 0, 0},
        {"GPRMC,093001.00,A,4530.125,N,07334.0625,W,1.0,10.0,300226,,,A", 1, 0},
        {"GPRMC,093001.00,A,4530.125,N,07334.0625,W,1.0,10.0,,,,A", 1, 0},
        {"GPRMC,253001.00,A,4530.125,N,07334.0625,W,1.0,10.0,140326,,,A", 1, 0},
        {"GPRMC,093001.00,A,4530.125,N,07334.0625,W,1.0,10.0,290224,,,A", 1, 1},
        {"GPRMC,093001.00,A,9000.000,S,18000.000,E,1.0,10.0,140326,,,A", 1, 1},
    };
    for (const auto& c : cases) {
        const auto path = input("odd.nmea", sentence(c.rmc));
        const std::string gpx = read_file(track_of(path, "gpx"));
        EXPECT_EQ(occurrences(gpx, "<trkpt "), c.points) << c.rmc << "\n" << gpx;
        EXPECT_EQ(occurrences(gpx, "<time>"), c.times) << c.rmc << "\n" << gpx;
        EXPECT_TRUE(gpx.ends_with("</trkseg>\n</trk>\n</gpx>\n")) << gpx;
    }
    // The antimeridian is written as GPX bounds longitudes: -180, never 180.
    const std::string pole = read_file(track_of(
        input("pole.nmea", sentence("GPRMC,093001.00,A,9000.000,S,18000.000,E,,,140326,,,A")),
        "gpx"));
    EXPECT_NE(pole.find("<trkpt lat=\"-90\" lon=\"-180\">"), std::string::npos) << pole;
    // Nought south, nought west and an altitude of -0 are all plain 0.
    const std::string zero = read_file(track_of(
        input("zero.nmea", sentence("GPGGA,093001.00,0000.000,S,00000.000,W,1,05,1.0,-0.0,M,,M,,") +
                               sentence("GPRMC,093001.00,A,0000.000,S,00000.000,W,,,140326,,,A")),
        "gpx"));
    EXPECT_NE(zero.find("<trkpt lat=\"0\" lon=\"0\">\n    <ele>0</ele>"), std::string::npos)
        << zero;
}

TEST_F(DecodeTrack, RealCapturesGiveOnePointPerValidFix) {
    TARNWICK_REQUIRE_CORPUS();
    int points = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus_dir())) {
        if (entry.path().extension() != ".log") {
            continue;
        }
        for (const bool gnss : {false, true}) {
            const auto records = decoded_records(entry.path(), dir_.path(), gnss, "file");
            for (const char* format : {"gpx", "geojson"}) {
                const std::string what =
                    entry.path().filename().string() + " " + format + (gnss ? " gnss" : "");
                const TrackCheck checked =
                    check_track(format, track_of(entry.path(), format, gnss, "file"), records);
                EXPECT_TRUE(checked.passed) << what << "\n" << checked.report;
                points += checked.points;
            }
        }
    }
    EXPECT_GT(points, 0) << "the captures hold valid fixes";
}

TEST_F(DecodeTrack, OutputThatCannotBeWrittenIsAnError) {
    const auto path = input("in.nmea", gga_first);
    for (const char* format : {"gpx", "geojson"}) {
        const ToolRun run =
            run_tool(built_program("tools/tarnwick/tarnwick"),
                     {"decode", "--format", format, path.string()}, {}, "/dev/full");
        EXPECT_EQ(run.exit_code, 1) << format;
        EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace tarnwick::test
