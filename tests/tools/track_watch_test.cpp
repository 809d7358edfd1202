// `tarnwick watch --format gpx|geojson` against a real tarnwickd replaying the bundled sample:
// however the log ends (--count, --seconds, a stop signal), the reader has a whole document
// whose points are consecutive valid fixes of the recording.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>

#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_process.h"
#include "tests/support/spawned_process.h"
#include "tests/support/test_support.h"
#include "tests/tools/tarnwick_runner.h"
#include "tests/tools/track_check.h"

namespace tarnwick::test {
namespace {

const std::filesystem::path sample =
    std::filesystem::path(TARNWICK_SOURCE_DIR) / "data/sample-track.nmea";

const char* const closings[] = {"</trkseg>\n</trk>\n</gpx>\n", "\n]}\n"};

class TrackWatch : public PrivateNamespace, public testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        if (!gpxpy_available()) {
            GTEST_SKIP() << "python3 with gpxpy is not installed";
        }
        PrivateNamespace::SetUp();
        service_ = std::make_unique<ServiceProcess>();
        ASSERT_TRUE(service_->wait_ready());
        records_ = decoded_records(sample, home());
        const ToolRun replay = tarnwick({"open-file", sample.string(), "--speed", "4"});
        ASSERT_EQ(replay.exit_code, 0) << replay.err;
    }
    void TearDown() override {
        if (service_) {
            tarnwick({"quit"});
            EXPECT_EQ(service_->wait(), 0);
            PrivateNamespace::TearDown();
        }
    }

    std::string format() const { return GetParam(); }
    const char* closing() const { return format() == "gpx" ? closings[0] : closings[1]; }

    TrackCheck check(const std::string& track) {
        const auto path = home() / ("watched." + format());
        write_file(path, track);
        return check_track(format(), path, records_, true);
    }

  private:
    std::unique_ptr<ServiceProcess> service_;
    std::filesystem::path records_;
};

TEST_P(TrackWatch, CountEndsAfterThatManyPointsWithAClosedDocument) {
    const ToolRun watch = tarnwick({"watch", "--format", format(), "--count", "5"});
    ASSERT_EQ(watch.exit_code, 0) << watch.err;
    EXPECT_TRUE(watch.out.ends_with(closing())) << watch.out;
    const TrackCheck checked = check(watch.out);
    EXPECT_TRUE(checked.passed) << checked.report << watch.out;
    EXPECT_EQ(checked.points, 5) << checked.report;
}

TEST_P(TrackWatch, SecondsEndWithAClosedDocument) {
    const ToolRun watch = tarnwick({"watch", "--format", format(), "--seconds", "2"});
    ASSERT_EQ(watch.exit_code, 0) << watch.err;
    EXPECT_TRUE(watch.out.ends_with(closing())) << watch.out;
    const TrackCheck checked = check(watch.out);
    EXPECT_TRUE(checked.passed) << checked.report << watch.out;
}

TEST_P(TrackWatch, AStopSignalMidRunClosesTheDocument) {
    const std::string point_begins = format() == "gpx" ? "<trkpt " : "{\"type\":\"Feature\"";
    for (const int number : {SIGTERM, SIGINT}) {
        SpawnedProcess watch(tarnwick_program(), {"watch", "--format", format()});
        std::string out;
        // Signalled once a point has come: the log is in the middle of its track.
        for (std::string line = watch.read_line(); !line.empty(); line = watch.read_line()) {
            out += line + "\n";
            if (line.find(point_begins) != std::string::npos) {
                break;
            }
        }
        ASSERT_NE(out.find(point_begins), std::string::npos) << out;
        watch.kill(number);
        out += watch.read_all();
        EXPECT_EQ(watch.wait(), 0) << number;
        EXPECT_TRUE(out.ends_with(closing())) << number << "\n" << out;
        const TrackCheck checked = check(out);
        EXPECT_TRUE(checked.passed) << number << "\n" << checked.report << out;
        EXPECT_GE(checked.points, 1) << checked.report;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, TrackWatch, testing::Values("gpx", "geojson"),
                         [](const testing::TestParamInfo<const char*>& parameter) {
                             return std::string(parameter.param);
                         });

}  // namespace
}  // namespace tarnwick::test
