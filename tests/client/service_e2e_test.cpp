// libtarnwick and `tarnwick` against a real tarnwickd in the test's namespace, with receivers from
// tarnwick-sim on pseudo-terminals.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "client/client.h"
#include "client/service_launcher.h"
#include "client/watcher.h"
#include "platform/wide_string.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_process.h"
#include "tests/tools/sim_process.h"
#include "tests/tools/tool_runner.h"

namespace tarnwick::test {
namespace {

using client::ClientError;

ToolRun tarnwick(const std::vector<std::string>& arguments) {
    return run_tool(built_program("tools/tarnwick/tarnwick"), arguments);
}

std::size_t line_count(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool wait_for(const std::function<bool()>& condition, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void register_service_path(const std::filesystem::path& program) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring path = platform::from_utf8(program.string());
    ASSERT_EQ(RegSetValueExW(key, L"path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

using ServiceEndToEnd = PrivateNamespace;

TEST_F(ServiceEndToEnd, TheLibraryStartsTheRegisteredServiceAndQuitStopsIt) {
    register_service_path(service_program());
    client::ClientOptions options;
    options.start_timeout = std::chrono::seconds(20);
    std::unique_ptr<client::Client> client;
    ASSERT_EQ(client::Client::open(options, client), ClientError::none);
    EXPECT_TRUE(client::service_running());

    std::vector<client::Answer> answers;
    ASSERT_EQ(client->send(client::RequestBatch().get_time_stamp_mode().get_input_mode(), answers),
              ClientError::none);
    EXPECT_EQ(answers[0].result, 0);
    EXPECT_EQ(answers[1].result, 0);

    ASSERT_EQ(client->quit(), ClientError::none);
    EXPECT_TRUE(wait_for([] { return !client::service_running(); }, std::chrono::seconds(20)));
}

TEST_F(ServiceEndToEnd, ANewUsersSessionThroughTheCommandLine) {
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
        wait_for([] { return tarnwick({"fix"}).exit_code == 0; }, std::chrono::seconds(20)));
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

TEST_F(ServiceEndToEnd, ConnectFollowsTheScanLiveAndEndsWithTheTable) {
    SimProcess receiver({"serial", "--name", "COM2:", "--baud", "9600"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM2: ")) << receiver.log();
    ServiceProcess service;
    ASSERT_TRUE(service.wait_ready());

    // Nothing remembered: the service scans, and the command shows each probe as it happens.
    const ToolRun connect = tarnwick({"connect", "--parallel", "--no-start"});
    EXPECT_EQ(connect.exit_code, 0) << connect.err;
    for (const char* expected :
         {"scanning every port at once", "probing COM2:", "COM2: at 4800 baud: no answer",
          "COM2: at 9600 baud: a receiver answered", "COM2:    9600",
          "connect with: tarnwick connect-port COM2: 9600"}) {
        EXPECT_NE(connect.out.find(expected), std::string::npos) << expected << "\n" << connect.out;
    }
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

TEST_F(ServiceEndToEnd, TwoWatchersOfARealServiceEachSeeEveryMessage) {
    ServiceProcess service;
    ASSERT_TRUE(service.wait_ready());
    SimProcess receiver({"serial", "--name", "COM4:", "--rate", "10"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM4: ")) << receiver.log();

    client::ClientOptions options;
    options.may_start = false;
    std::unique_ptr<client::Client> client;
    ASSERT_EQ(client::Client::open(options, client), ClientError::none);
    // Both watchers join before the input opens, so both must see the same messages from the
    // first on.
    std::unique_ptr<client::Watcher> first;
    std::unique_ptr<client::Watcher> second;
    ASSERT_EQ(client::Watcher::open(*client, first), ClientError::none);
    ASSERT_EQ(client::Watcher::open(*client, second), ClientError::none);
    client::ConnectPortResult connected;
    ASSERT_EQ(client->connect_port(L"COM4:", 4800, connected), ClientError::none);
    ASSERT_TRUE(connected.connected);

    auto collect = [](client::Watcher& watcher, std::vector<std::vector<std::uint8_t>>& seen) {
        while (seen.size() < 40) {
            client::StreamMessage message;
            std::uint64_t lost = 0;
            ASSERT_EQ(watcher.next(std::chrono::seconds(10), message, lost), ClientError::none);
            EXPECT_EQ(lost, 0U);
            seen.push_back(message.body);
        }
    };
    std::vector<std::vector<std::uint8_t>> first_seen;
    std::vector<std::vector<std::uint8_t>> second_seen;
    std::thread a([&] { collect(*first, first_seen); });
    std::thread b([&] { collect(*second, second_seen); });
    a.join();
    b.join();
    EXPECT_EQ(first_seen, second_seen);

    ASSERT_EQ(client->quit(), ClientError::none);
    EXPECT_EQ(service.wait(), 0);
}

}  // namespace
}  // namespace tarnwick::test
