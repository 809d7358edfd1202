// scripts/demo.sh, the README's main command, over the programs of this build tree: it shows
// the sample through the live view and leaves no process, named object or directory behind,
// whether it ends by its time limit or by a signal.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "tests/support/spawned_process.h"
#include "tests/support/test_support.h"
#include "tests/tools/tool_runner.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

const std::filesystem::path demo = std::filesystem::path(TARNWICK_SOURCE_DIR) / "scripts/demo.sh";

// The processes that run in a namespace under `folder` (their TARNWICK_HOME says so).
std::vector<std::string> processes_under(const std::filesystem::path& folder) {
    const std::string marker = "TARNWICK_HOME=" + folder.string();
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream environment(entry.path() / "environ", std::ios::binary);
        std::stringstream text;
        text << environment.rdbuf();
        std::string variable;
        while (std::getline(text, variable, '\0')) {
            if (variable.starts_with(marker)) {
                found.push_back(entry.path().filename().string() + " " +
                                read_file(entry.path() / "comm"));
            }
        }
    }
    return found;
}

class DemoScript : public ::testing::Test {
  protected:
    // The demo's temporary namespace goes into a folder of the test's own, through TMPDIR, and
    // the directory of its named objects into another, through XDG_RUNTIME_DIR.
    void SetUp() override {
        std::filesystem::create_directory(runtime_.path() / "run");
        setenv("TMPDIR", scratch_.path().c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (runtime_.path() / "run").c_str(), 1);
        setenv("TARNWICK_BUILD_DIR", TARNWICK_BINARY_DIR, 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        unsetenv("XDG_RUNTIME_DIR");
    }

    void expect_nothing_left() {
        EXPECT_TRUE(processes_under(scratch_.path()).empty())
            << ::testing::PrintToString(processes_under(scratch_.path()));
        EXPECT_TRUE(std::filesystem::is_empty(scratch_.path()));
        EXPECT_TRUE(std::filesystem::is_empty(runtime_.path() / "run"));
    }

    TempDir scratch_;
    TempDir runtime_;
};

TEST_F(DemoScript, ItShowsTheSampleForItsDurationAndLeavesNothingBehind) {
    const ToolRun run = run_tool(demo, {"--duration", "3", "--speed", "4"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    // Its output is no terminal here: one line per epoch.
    EXPECT_NE(run.out.find(" UTC  3D fix  45.50"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("still held"), std::string::npos) << run.err;
    expect_nothing_left();
}

TEST_F(DemoScript, ATerminationSignalStopsEverything) {
    SpawnedProcess script("/bin/bash", {demo.string(), "--speed", "4"});
    const std::string first_line = script.read_line(30s);
    EXPECT_NE(first_line.find(" UTC "), std::string::npos) << first_line;
    script.kill(SIGTERM);
    script.read_all();
    EXPECT_EQ(script.wait(), 0);
    expect_nothing_left();
}

}  // namespace
}  // namespace tarnwick::test
