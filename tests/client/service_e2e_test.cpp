// libtarnwick against a real tarnwickd in the test's namespace, with receivers from tarnwick-sim
// on pseudo-terminals.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
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

// The blocked-signal mask of the tarnwickd process of this test's namespace; empty when none
// runs.
std::string blocked_signals_of_the_service(const std::filesystem::path& home) {
    const std::string own_home = "TARNWICK_HOME=" + home.string();
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string environment = read_file(entry.path() / "environ");
        const std::string command = read_file(entry.path() / "cmdline");
        if (command.find("tarnwickd") == std::string::npos ||
            environment.find(own_home + '\0') == std::string::npos) {
            continue;
        }
        const std::string status = read_file(entry.path() / "status");
        const std::size_t at = status.find("SigBlk:\t");
        return at == std::string::npos ? std::string() : status.substr(at + 8, 16);
    }
    return {};
}

TEST_F(ServiceEndToEnd, AStartedServiceDoesNotInheritTheStartersBlockedSignals) {
    register_service_path(service_program());
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGHUP);
    sigset_t before;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &stops, &before), 0);
    client::ClientOptions options;
    options.start_timeout = std::chrono::seconds(20);
    std::unique_ptr<client::Client> client;
    const ClientError opened = client::Client::open(options, client);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_EQ(opened, ClientError::none);
    // The service blocks SIGINT and SIGTERM itself (it reads them through a descriptor), never
    // SIGHUP (bit 1 of the lowest digit).
    const std::string blocked = blocked_signals_of_the_service(home());
    ASSERT_EQ(blocked.size(), 16u) << "the service's process was not found";
    EXPECT_EQ(std::stoull(blocked, nullptr, 16) & (1ull << (SIGHUP - 1)), 0u) << blocked;

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

// What a watcher sees while the service it watches is replaced by one with other arguments.
struct WatchedSession {
    std::vector<client::StreamMessage> messages;
    std::uint64_t lost = 0;
    bool failed = false;
    int ticked_rmc = 0;
};

TEST_F(ServiceEndToEnd, WatchersFollowARestartIntoTickStampsAndLoseNothing) {
    SimProcess receiver({"serial", "--name", "COM4:", "--rate", "10"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM4: ")) << receiver.log();
    auto first_service = std::make_unique<ServiceProcess>();
    ASSERT_TRUE(first_service->wait_ready());

    client::ClientOptions options;
    options.may_start = false;
    std::unique_ptr<client::Client> client;
    ASSERT_EQ(client::Client::open(options, client), ClientError::none);
    std::unique_ptr<client::Watcher> watchers[2];
    for (auto& watcher : watchers) {
        ASSERT_EQ(client::Watcher::open(*client, watcher), ClientError::none);
        EXPECT_FALSE(watcher->tstamp());
    }
    client::ConnectPortResult connected;
    ASSERT_EQ(client->connect_port(L"COM4:", 4800, connected), ClientError::none);
    ASSERT_TRUE(connected.connected);

    // The watchers keep up, as watchers do: each one waits for messages all along, and counts
    // how often it found nothing new, so that the restart can wait until both have drained
    // what the first service left.
    std::atomic<int> idle[2] = {0, 0};
    // The main thread reads only these counts while the watchers run.
    std::atomic<int> rmc_seen[2] = {0, 0};
    WatchedSession seen[2];
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto watch = [&](int n) {
        while (seen[n].ticked_rmc < 10 && !seen[n].failed &&
               std::chrono::steady_clock::now() < give_up) {
            client::StreamMessage message;
            std::uint64_t lost = 0;
            const ClientError error =
                watchers[n]->next(std::chrono::milliseconds(200), message, lost);
            seen[n].lost += lost;
            if (error == ClientError::timed_out) {
                ++idle[n];
                continue;
            }
            seen[n].failed = error != ClientError::none;
            seen[n].ticked_rmc += message.id == TARNWICK_RMC && message.tick ? 1 : 0;
            rmc_seen[n] += message.id == TARNWICK_RMC ? 1 : 0;
            seen[n].messages.push_back(std::move(message));
        }
    };
    std::thread threads[] = {std::thread(watch, 0), std::thread(watch, 1)};
    EXPECT_TRUE(eventually([&] { return rmc_seen[0] >= 5; }, std::chrono::seconds(20)));

    ASSERT_EQ(client->quit(), ClientError::none);
    EXPECT_EQ(first_service->wait(), 0);
    first_service.reset();
    const int idle_before[2] = {idle[0].load(), idle[1].load()};
    EXPECT_TRUE(eventually([&] { return idle[0] > idle_before[0] && idle[1] > idle_before[1]; },
                           std::chrono::seconds(10)));

    // The port is remembered: the new service opens it by itself.
    ServiceProcess second_service({"tstamp"});
    ASSERT_TRUE(second_service.wait_ready());
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const WatchedSession& session : seen) {
        EXPECT_FALSE(session.failed);
        EXPECT_EQ(session.lost, 0U);
        EXPECT_EQ(session.ticked_rmc, 10);
        const auto first_ticked = std::find_if(session.messages.begin(), session.messages.end(),
                                               [](const auto& m) { return m.tick.has_value(); });
        // Every RMC before the restart came without a tick, every one after it with one.
        for (auto m = session.messages.begin(); m != session.messages.end(); ++m) {
            if (m->id == TARNWICK_RMC) {
                EXPECT_EQ(m->tick.has_value(), m >= first_ticked);
                EXPECT_EQ(std::get<client::RMC>(*m->record).status, 'A');
            }
        }
    }
    EXPECT_TRUE(watchers[0]->tstamp());
    ASSERT_EQ(seen[0].messages.size(), seen[1].messages.size());
    for (std::size_t i = 0; i < seen[0].messages.size(); ++i) {
        EXPECT_EQ(seen[0].messages[i].body, seen[1].messages[i].body) << "message " << i;
    }
    ASSERT_EQ(client->quit(), ClientError::none);
    EXPECT_EQ(second_service.wait(), 0);
}

}  // namespace
}  // namespace tarnwick::test
