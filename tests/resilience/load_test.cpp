// Many clients at once: client processes send request batches as fast as they can while a
// receiver streams at 10 Hz and watcher processes follow the data stream. Every answer must
// arrive and be well-formed, and every watcher that keeps up must see every message, in order
// and whole. The service stops for a full data stream when, and only when, nobody drains it.
//
// TARNWICK_LOAD_SECONDS sets the load's duration (the CTest run is short); the counts of
// processes shrink under ThreadSanitizer (TARNWICK_STRESS_SCALE).

#include <signal.h>

#include <cstdio>
#include <sstream>
#include <thread>

#include "client/channel_bytes.h"
#include "client/request_batch.h"
#include "tests/resilience/resilience_support.h"
#include "tests/server/service_fixture.h"

namespace tarnwick::test {
namespace {

using client::RequestBatch;

constexpr int requesting_clients = 16;
constexpr int watching_clients = 8;
// Sentence messages per epoch of tarnwick-sim: RMC, GGA, GSA, one GSV set, VTG, GLL.
constexpr int messages_per_epoch = 6;

struct ClientTally {
    long batches = -1;
    long failed = -1;
};

struct WatcherTally {
    long messages = -1;
    long lost = -1;
    long disorder = -1;
};

ClientTally client_tally(const std::string& line) {
    ClientTally tally;
    std::string batches_word;
    std::string failed_word;
    std::istringstream(line) >> batches_word >> tally.batches >> failed_word >> tally.failed;
    return tally;
}

WatcherTally watcher_tally(const std::string& line) {
    WatcherTally tally;
    std::string words[3];
    std::istringstream(line) >> words[0] >> tally.messages >> words[1] >> tally.lost >> words[2] >>
        tally.disorder;
    return tally;
}

class LoadTest : public ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        receiver_ = std::make_unique<SimProcess>(
            std::vector<std::string>{"serial", "--name", "COM1:", "--rate", "10"});
        ASSERT_TRUE(receiver_->first_line().starts_with("COM1: ")) << receiver_->log();
        start_service();
        ASSERT_EQ(session().ask(RequestBatch().connect_port(L"COM1:", 4800)).result, 1);
    }

    // Watchers that have joined the stream, each for `seconds` (stalling after `stall`, if set).
    static std::vector<std::unique_ptr<SpawnedProcess>> watchers(int count,
                                                                 std::chrono::seconds seconds,
                                                                 std::chrono::seconds stall = {}) {
        std::vector<std::unique_ptr<SpawnedProcess>> started;
        for (int i = 0; i < count; ++i) {
            started.push_back(load_watcher(seconds, stall));
            EXPECT_EQ(started.back()->read_line(), "watching");
        }
        return started;
    }

    static WatcherTally finish(SpawnedProcess& watcher) {
        const WatcherTally tally = watcher_tally(watcher.read_line(60s));
        EXPECT_EQ(watcher.wait(), 0);
        return tally;
    }

  private:
    std::unique_ptr<SimProcess> receiver_;
};

TEST_F(LoadTest, EveryAnswerArrivesAndEveryWatcherSeesEveryMessageInOrder) {
    const std::chrono::seconds duration = load_duration();
    // The watchers outlast the requests on both sides.
    auto watching = watchers(scaled(watching_clients), duration + 2s);
    std::vector<std::unique_ptr<SpawnedProcess>> requesting;
    for (int i = 0; i < scaled(requesting_clients); ++i) {
        requesting.push_back(load_client(duration, "COM1:", 4800));
    }

    long batches = 0;
    for (auto& client : requesting) {
        const ClientTally tally = client_tally(client->read_line(duration + 60s));
        EXPECT_GT(tally.batches, 0);
        EXPECT_EQ(tally.failed, 0);
        EXPECT_EQ(client->wait(), 0);
        batches += tally.batches;
    }
    const long least_expected = static_cast<long>(duration.count()) * 10 * messages_per_epoch / 2;
    long fewest_messages = -1;
    for (auto& watcher : watching) {
        const WatcherTally tally = finish(*watcher);
        EXPECT_GE(tally.messages, least_expected);
        EXPECT_EQ(tally.lost, 0);
        EXPECT_EQ(tally.disorder, 0);
        fewest_messages =
            fewest_messages < 0 ? tally.messages : std::min(fewest_messages, tally.messages);
    }
    std::printf(
        "load: %d clients answered %ld batches in %lld s; %d watchers saw at least %ld "
        "messages each\n",
        scaled(requesting_clients), batches, static_cast<long long>(duration.count()),
        scaled(watching_clients), fewest_messages);

    // Drained all along, the stream never stopped the service.
    EXPECT_TRUE(start_event_exists());
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 1);
    session().call(RequestBatch().quit());
    EXPECT_EQ(service().wait(), 0);
}

TEST_F(LoadTest, AStalledWatcherStopsNothingWhileAnotherDrains) {
    auto draining = watchers(1, 8s);
    auto stalled = watchers(1, 8s, 1s);
    const WatcherTally kept_up = finish(*draining.front());
    EXPECT_EQ(kept_up.lost, 0);
    EXPECT_EQ(kept_up.disorder, 0);
    const WatcherTally fell_behind = finish(*stalled.front());
    EXPECT_EQ(fell_behind.disorder, 0);
    EXPECT_GT(fell_behind.lost, 0) << "it learns how many messages it missed";
    EXPECT_TRUE(start_event_exists()) << "the service runs on";
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 1);
}

TEST_F(LoadTest, ServiceStopsOnceNobodyDrainsTheStream) {
    GPS::exchange_buffer data_stream;
    ASSERT_TRUE(data_stream.open(L"data_stream", 1024, 32));
    auto stalled = watchers(1, 20s, 2s);
    // Drained, the service runs for as long as the watcher takes messages.
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(start_event_exists());
    // Then the channel fills up within seconds and the service stops, as a Quit would.
    ASSERT_TRUE(eventually([] { return !start_event_exists(); }, 60s));
    EXPECT_EQ(service().wait(), 0);
    const Bytes stored = client::take_stored_bytes(data_stream);
    EXPECT_GT(stored.size(), 32768u - 12u - 1024u) << "it stopped because the channel was full";
}

}  // namespace
}  // namespace tarnwick::test
