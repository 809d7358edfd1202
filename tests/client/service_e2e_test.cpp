// libtarnwick against a real tarnwickd in the test's namespace, with receivers from tarnwick-sim
// on pseudo-terminals.

#include <gtest/gtest.h>

#include <thread>

#include "base/utf8.h"
#include "client/client.h"
#include "client/service_launcher.h"
#include "client/watcher.h"
#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_process.h"
#include "tests/support/test_support.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {
namespace {

using client::ClientError;

void register_service_path(const std::filesystem::path& program) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring path = tarnwick::from_utf8(program.string());
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
    EXPECT_TRUE(eventually([] { return !client::service_running(); }, std::chrono::seconds(20)));
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
