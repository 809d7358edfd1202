// A client killed (SIGKILL) while it holds one of the locks of the namespace: the guard mutex of
// each of the service's three channels, and the two locks libtarnwick's clients share among
// themselves. The service and the other clients must go on: the lock goes to the next taker as
// abandoned, a request that waited for it is answered, the data stream flows on without loss,
// and a client that comes afterwards is served.

#include <signal.h>

#include <thread>

#include "client/client.h"
#include "client/watcher.h"
#include "tests/resilience/resilience_support.h"
#include "tests/server/service_fixture.h"

namespace tarnwick::test {
namespace {

using client::ClientError;
using client::RequestBatch;

struct HeldLock {
    const char* kind;
    const char* name;
};

void PrintTo(const HeldLock& lock, std::ostream* out) {
    *out << lock.kind << ' ' << lock.name;
}

class GuardFaultTest : public ServiceTest, public ::testing::WithParamInterface<HeldLock> {
  protected:
    static std::unique_ptr<client::Client> open_client() {
        client::ClientOptions options;
        options.may_start = false;
        std::unique_ptr<client::Client> client;
        EXPECT_EQ(client::Client::open(options, client), ClientError::none);
        return client;
    }

    // Takes messages until `wanted` RMC messages came; false when they did not in time or when
    // the watcher lost any.
    static bool rmc_messages_arrive(client::Watcher& watcher, int wanted) {
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        int seen = 0;
        while (seen < wanted && std::chrono::steady_clock::now() < deadline) {
            client::StreamMessage message;
            std::uint64_t lost = 0;
            const ClientError error = watcher.next(1s, message, lost);
            EXPECT_EQ(lost, 0u);
            if (error == ClientError::none && message.id == rmc_id) {
                ++seen;
            }
        }
        return seen >= wanted;
    }
};

TEST_P(GuardFaultTest, KilledHolderLeavesTheServiceAndTheOtherClientsWorking) {
    const auto receiver = start_receiver("COM1:");
    start_service();
    ASSERT_EQ(session().ask(RequestBatch().connect_port(L"COM1:", 4800)).result, 1);
    const auto client = open_client();
    ASSERT_NE(client, nullptr);
    std::unique_ptr<client::Watcher> watcher;
    ASSERT_EQ(client::Watcher::open(*client, watcher), ClientError::none);
    ASSERT_TRUE(rmc_messages_arrive(*watcher, 1));

    const auto holder = guard_holder(GetParam().kind, GetParam().name);
    ASSERT_EQ(holder->read_line(), "held");
    // Sent while the lock is held: for most locks this request has to wait for it.
    std::vector<client::Answer> answers;
    ClientError asked = ClientError::timed_out;
    std::thread asking(
        [&] { asked = client->send(RequestBatch().get_input_mode().get_connection(), answers); });
    std::this_thread::sleep_for(300ms);
    holder->kill(SIGKILL);
    EXPECT_EQ(holder->wait(), -SIGKILL);
    asking.join();

    ASSERT_EQ(asked, ClientError::none);
    EXPECT_EQ(answers[0].result, 1);
    EXPECT_EQ(answers[1].port, L"COM1:");
    EXPECT_TRUE(rmc_messages_arrive(*watcher, 3)) << "the data stream flows on, nothing lost";
    const auto later = open_client();
    ASSERT_NE(later, nullptr);
    std::int32_t mode = 0;
    EXPECT_EQ(later->get_input_mode(mode), ClientError::none);
    EXPECT_EQ(mode, 1);
}

INSTANTIATE_TEST_SUITE_P(Locks, GuardFaultTest,
                         ::testing::Values(HeldLock{"channel", "in"}, HeldLock{"channel", "out"},
                                           HeldLock{"channel", "data_stream"},
                                           HeldLock{"mutex", "TARNWICK::CLIENT"},
                                           HeldLock{"mutex", "TARNWICK::WATCH::lock"}),
                         [](const ::testing::TestParamInfo<HeldLock>& param_info) {
                             std::string name = param_info.param.name;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace tarnwick::test
