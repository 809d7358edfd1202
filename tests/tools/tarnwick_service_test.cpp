// The `tarnwick` subcommands against a real tarnwickd in the test's namespace, with receivers from
// tarnwick-sim on pseudo-terminals: a new user's session from connecting to quitting.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/namespace.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/pseudo_terminal.h"
#include "tests/server/service_process.h"
#include "tests/support/test_support.h"
#include "tests/support/tty_holder.h"
#include "tests/tools/sim_process.h"
#include "tests/tools/tarnwick_runner.h"

namespace tarnwick::test {
namespace {

std::size_t line_count(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

using TarnwickWithService = PrivateNamespace;

TEST_F(TarnwickWithService, ANewUsersSessionThroughTheCommandLine) {
    ServiceProcess service;
    ASSERT_TRUE(service.wait_ready());
    SimProcess receiver({"serial", "--name", "COM7:", "--rate", "5"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM7: /dev/")) << receiver.log();

    const ToolRun ports = tarnwick({"ports", "--no-start"});
    EXPECT_EQ(ports.exit_code, 0) << ports.err;
    EXPECT_NE(ports.out.find("COM7:"), std::string::npos) << ports.out;

    const ToolRun connect = tarnwick({"connect-port", "COM7:", "4800"});
    ASSERT_EQ(connect.exit_code, 0) << connect.err;
    EXPECT_NE(connect.out.find("connected to COM7: at 4800 baud"), std::string::npos)
        << connect.out;

    const ToolRun watch = tarnwick({"watch", "--count", "12", "--format", "raw"});
    EXPECT_EQ(watch.exit_code, 0) << watch.err;
    EXPECT_EQ(line_count(watch.out), 12U) << watch.out;

    const ToolRun status = tarnwick({"status", "--json"});
    ASSERT_EQ(status.exit_code, 0) << status.err;
    const auto state = nlohmann::json::parse(status.out);
    EXPECT_EQ(state["input"]["mode"], 1);
    EXPECT_EQ(state["connection"]["port"], "COM7:");
    EXPECT_EQ(state["connection"]["baud"], 4800);

    const std::filesystem::path recording = home() / "drive.nmea";
    EXPECT_EQ(tarnwick({"record", "start", recording.string()}).exit_code, 0);
    tarnwick({"watch", "--count", "12"});
    EXPECT_EQ(tarnwick({"record", "stop"}).exit_code, 0);
    EXPECT_GT(std::filesystem::file_size(recording), 0U);

    // A valid fix reaches the store within a few of the simulator's epochs.
    EXPECT_TRUE(
        eventually([] { return tarnwick({"fix"}).exit_code == 0; }, std::chrono::seconds(20)));
    const ToolRun fix = tarnwick({"fix", "--json"});
    EXPECT_EQ(nlohmann::json::parse(fix.out)["fix"]["status"], "A");

    // The recording replays as a file.
    EXPECT_EQ(tarnwick({"disconnect"}).exit_code, 0);
    const ToolRun replay = tarnwick({"open-file", recording.string(), "--loop", "--speed", "4"});
    EXPECT_EQ(replay.exit_code, 0) << replay.err;
    const ToolRun replayed = tarnwick({"watch", "--count", "6", "--format", "json"});
    EXPECT_EQ(line_count(replayed.out), 6U);
    const auto input = nlohmann::json::parse(tarnwick({"status", "--json"}).out)["input"];
    EXPECT_TRUE(input["file"]);

    const ToolRun quit = tarnwick({"quit"});
    EXPECT_EQ(quit.exit_code, 0) << quit.err;
    EXPECT_EQ(service.wait(), 0);
    EXPECT_EQ(tarnwick({"status", "--no-start"}).exit_code, 3);
}

TEST_F(TarnwickWithService, ConnectFollowsTheScanLiveAndEndsWithTheTable) {
    SimProcess receiver({"serial", "--name", "COM2:", "--baud", "9600"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM2: ")) << receiver.log();
    ServiceProcess service;
    ASSERT_TRUE(service.wait_ready());

    // Nothing remembered: the service scans, and the command shows each probe as it happens on
    // standard error (its output is not a terminal), then the table on standard output.
    const ToolRun connect = tarnwick({"connect", "--parallel", "--no-start"});
    EXPECT_EQ(connect.exit_code, 0) << connect.err;
    for (const char* expected :
         {"scanning every port at once", "probing COM2:",
          "COM2: at 4800 baud: no answer (no NMEA "
          "sentence within 5 s)",
          "COM2: at 9600 baud: a receiver answered", "done with COM2: a receiver at 9600 baud"}) {
        EXPECT_NE(connect.err.find(expected), std::string::npos) << expected << "\n" << connect.err;
    }
    for (const char* expected :
         {"port     rates tried                    result\n",
          "COM2:    4800 9600 19200 38400 57600    a receiver at 9600 baud\n",
          "connect with: tarnwick connect-port COM2: 9600"}) {
        EXPECT_NE(connect.out.find(expected), std::string::npos) << expected << "\n" << connect.out;
    }
    EXPECT_EQ(connect.out.find("probing"), std::string::npos) << connect.out;
    EXPECT_EQ(tarnwick({"connect-port", "COM2:", "9600"}).exit_code, 0);
    // Now remembered: connect takes it at once.
    const ToolRun again = tarnwick({"connect", "--json"});
    ASSERT_EQ(again.exit_code, 0) << again.err;
    const auto answer = nlohmann::json::parse(again.out);
    EXPECT_EQ(answer["connected"], true);
    EXPECT_EQ(answer["port"], "COM2:");

    EXPECT_EQ(tarnwick({"quit"}).exit_code, 0);
    EXPECT_EQ(service.wait(), 0);
}

TEST_F(TarnwickWithService, APortAnotherProgramHoldsIsReportedBusyWithItsName) {
    const PseudoTerminal line;
    ASSERT_TRUE(platform::bind_port(L"COM4:", line.slave_path()));
    const TtyHolder holder(line.slave_path());
    const std::string busy = "busy: in use by another program (" + std::string(TtyHolder::program) +
                             ", pid " + std::to_string(holder.pid()) + ")";
    ServiceProcess service;
    ASSERT_TRUE(service.wait_ready());

    const ToolRun refused = tarnwick({"connect-port", "COM4:", "4800", "--no-start"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find(busy), std::string::npos) << refused.err;

    const ToolRun scan = tarnwick({"connect", "--parallel", "--no-start"});
    EXPECT_NE(scan.err.find("COM4: " + busy), std::string::npos) << scan.err;
    EXPECT_NE(scan.out.find(busy + "\n"), std::string::npos) << scan.out;

    EXPECT_EQ(tarnwick({"quit"}).exit_code, 0);
    EXPECT_EQ(service.wait(), 0);
}

}  // namespace
}  // namespace tarnwick::test
