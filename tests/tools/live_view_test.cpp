// `tarnwick watch --view` against a real tarnwickd replaying the bundled sample: full screen
// inside a pseudo-terminal, plain lines on a file.

#include <gtest/gtest.h>
#include <signal.h>

#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_process.h"
#include "tests/tools/tarnwick_runner.h"
#include "tests/tools/terminal_process.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

const std::filesystem::path sample =
    std::filesystem::path(TARNWICK_SOURCE_DIR) / "data/sample-track.nmea";

class LiveView : public PrivateNamespace {
  protected:
    void SetUp() override {
        PrivateNamespace::SetUp();
        service_ = std::make_unique<ServiceProcess>();
        ASSERT_TRUE(service_->wait_ready());
    }
    void TearDown() override {
        tarnwick({"quit"});
        EXPECT_EQ(service_->wait(), 0);
        PrivateNamespace::TearDown();
    }

  private:
    std::unique_ptr<ServiceProcess> service_;
};

TEST_F(LiveView, TheScreenShowsTheSamplesFirstFixAndTheTerminalIsRestored) {
    TerminalProcess view(tarnwick_program(), {"watch", "--view"}, 40, 100);
    // The first frame: alternate screen, hidden cursor, nothing received yet.
    ASSERT_TRUE(view.wait_for({"\x1b[?1049h", "\x1b[?25l", "Tarnwick live view"}, 0, 10s))
        << view.output();
    const std::size_t before_replay = view.output().size();

    const ToolRun replay = tarnwick({"open-file", sample.string()});
    ASSERT_EQ(replay.exit_code, 0) << replay.err;
    // The service takes the file's first sentence to confirm that the input started, so the
    // first fix on the stream is the second epoch's: 09:30:01, moving at 3.5 knots.
    EXPECT_TRUE(
        view.wait_for({"2026-03-14  09:30:01", "3D fix", "45.50171° N", "45°30.103' N",
                       "73.56728° W", "73°34.037' W", "3.5 kn   6.5 km/h", "course 70.5°",
                       "Altitude   36.0 m", "13 in view, 12 used", "file replay, not recording"},
                      before_replay, 10s))
        << view.output().substr(before_replay);

    view.signal(SIGINT);
    view.read_to_end(10s);
    EXPECT_EQ(view.wait(), 0);
    EXPECT_TRUE(view.output().ends_with("\x1b[?25h\x1b[?1049l")) << view.output().substr(
        view.output().size() - std::min<std::size_t>(200, view.output().size()));
}

TEST_F(LiveView, WithoutATerminalItPrintsOneLinePerEpoch) {
    const ToolRun replay = tarnwick({"open-file", sample.string(), "--speed", "4"});
    ASSERT_EQ(replay.exit_code, 0) << replay.err;
    const ToolRun view = tarnwick({"watch", "--view", "--seconds", "2"});
    EXPECT_EQ(view.exit_code, 0) << view.err;
    EXPECT_EQ(view.out.find('\x1b'), std::string::npos) << view.out;
    // About four epochs a second; the first and the last may be cut by the time limit.
    const auto lines = std::count(view.out.begin(), view.out.end(), '\n');
    EXPECT_GE(lines, 4) << view.out;
    EXPECT_NE(view.out.find(" UTC  3D fix  45.50"), std::string::npos) << view.out;
    EXPECT_NE(view.out.find("satellites 12 used / 13 in view"), std::string::npos) << view.out;
    EXPECT_NE(view.out.find("input file replay"), std::string::npos) << view.out;
}

}  // namespace
}  // namespace tarnwick::test
