// Inputs that go away by a crash rather than by closing: a receiver process killed outright
// (its pseudo-terminal vanishes, its port binding is left stale) and later replaced under the
// same port name, and a shared-memory producer killed while its block's guard was held, then
// replaced by a new producer under the same name.

#include <signal.h>

#include "client/request_batch.h"
#include "tests/resilience/resilience_support.h"
#include "tests/server/service_fixture.h"

namespace tarnwick::test {
namespace {

using client::RequestBatch;

class InputFaultTest : public ServiceTest {
  protected:
    // Waits until `more` further RMC messages came on the data stream.
    bool more_rmc_messages(int more) {
        const int wanted = session().count(rmc_id) + more;
        return session().watch_until([&] { return session().count(rmc_id) >= wanted; }, 15s);
    }

    static std::unique_ptr<SimProcess> receiver_at(const std::string& port) {
        auto receiver = std::make_unique<SimProcess>(
            std::vector<std::string>{"serial", "--name", port, "--rate", "10"});
        EXPECT_TRUE(receiver->first_line().starts_with(port + " /dev/")) << receiver->log();
        return receiver;
    }
};

TEST_F(InputFaultTest, KilledReceiverIsLostThenReconnectedWhenAnotherTakesItsPort) {
    auto receiver = receiver_at("COM3:");
    start_service();
    ASSERT_EQ(session().ask(RequestBatch().connect_port(L"COM3:", 4800)).result, 1);
    ASSERT_TRUE(more_rmc_messages(1));

    receiver->signal(SIGKILL);
    EXPECT_EQ(receiver->wait(), -SIGKILL);
    ASSERT_TRUE(session().watch_until([&] { return session().count(input_lost_id) == 1; }, 30s));
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 0);

    receiver = receiver_at("COM3:");
    ASSERT_TRUE(session().watch_until([&] { return session().count(reconnected_id) == 1; }, 30s));
    EXPECT_EQ(messages_with(reconnected_id).front()->input_mode, 1);
    EXPECT_TRUE(more_rmc_messages(3)) << "sentences again";
    EXPECT_EQ(session().count(input_lost_id), 1);
    EXPECT_TRUE(session().stream_intact());
    const client::Answer connection = session().ask(RequestBatch().get_connection());
    EXPECT_EQ(connection.result, 1);
    EXPECT_EQ(connection.port, L"COM3:");
    EXPECT_EQ(connection.baud, 4800);
}

TEST_F(InputFaultTest, ProducerKilledHoldingItsGuardLeavesTheServiceServingAndCanBeReplaced) {
    const std::vector<std::string> producing = {"memory", "tarnwick_faulty_feed", "--rate", "10"};
    auto producer = std::make_unique<SimProcess>(producing);
    ASSERT_EQ(producer->first_line(), "tarnwick_faulty_feed") << producer->log();
    start_service();
    ASSERT_EQ(session().ask(RequestBatch().open_memory(L"tarnwick_faulty_feed")).result, 1);
    ASSERT_TRUE(more_rmc_messages(1));

    // The guard is taken away from the producer and dies with its holder, as if the producer
    // had crashed while writing a block; the producer itself dies outright as well.
    const auto holder = guard_holder("mutex", "tarnwick_faulty_feed_DataGuard_mutex");
    ASSERT_EQ(holder->read_line(), "held");
    producer->signal(SIGKILL);
    EXPECT_EQ(producer->wait(), -SIGKILL);
    holder->kill(SIGKILL);
    EXPECT_EQ(holder->wait(), -SIGKILL);

    // Without blocks the input stays open (it is given up after a minute of silence); the
    // service answers meanwhile.
    session().watch_for(1s);
    const auto answers =
        session().call(RequestBatch().get_input_mode().get_time_stamp_mode().get_valid_rmc());
    ASSERT_TRUE(answers);
    EXPECT_EQ((*answers)[0].result, 8);
    EXPECT_EQ((*answers)[1].result, 0);
    EXPECT_EQ((*answers)[2].result, 1);
    EXPECT_EQ(session().count(input_lost_id), 0);

    // A new producer under the same name finds the objects the service keeps open and the
    // abandoned guard; its blocks are read as before.
    producer = std::make_unique<SimProcess>(producing);
    ASSERT_EQ(producer->first_line(), "tarnwick_faulty_feed") << producer->log();
    EXPECT_TRUE(more_rmc_messages(3)) << "sentences again";
    EXPECT_TRUE(session().stream_intact());
}

}  // namespace
}  // namespace tarnwick::test
