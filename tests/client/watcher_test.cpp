// Watching the data stream: decoding, and several watchers sharing it through the watch ring.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "client/byte_vector_stream.h"
#include "client/client.h"
#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "client/watch_ring.h"
#include "client/watcher.h"
#include "exchange/counted_string.h"
#include "nmea/gsv_record.h"
#include "tests/client/fake_service.h"
#include "tests/platform/namespace_fixture.h"

namespace tarnwick::test {
namespace {

using client::ClientError;
using client::StreamMessage;

std::vector<std::uint8_t> ints(std::initializer_list<std::int32_t> values) {
    client::byte_vector_ostream out;
    for (const std::int32_t value : values) {
        out.write(&value, 4);
    }
    return out.bytes();
}

std::vector<std::uint8_t> end_scan_message() {
    client::byte_vector_ostream out;
    const std::int32_t head[] = {client::scan_event_id, client::scan_end};
    out.write(head, sizeof head);
    GPS::write_wstring(out, nullptr);
    const std::int32_t value_and_count[] = {0, 1};
    out.write(value_and_count, sizeof value_and_count);
    GPS::write_wstring(out, L"COM2:");
    const std::int32_t rates[] = {2, 4800, 38400};
    out.write(rates, sizeof rates);
    return out.bytes();
}

class Watching : public PrivateNamespace {
  protected:
    std::unique_ptr<client::Client> open_client() {
        client::ClientOptions options;
        options.may_start = false;
        std::unique_ptr<client::Client> opened;
        EXPECT_EQ(client::Client::open(options, opened), ClientError::none);
        return opened;
    }
    static std::unique_ptr<client::Watcher> open_watcher(client::Client& client) {
        std::unique_ptr<client::Watcher> watcher;
        EXPECT_EQ(client::Watcher::open(client, watcher), ClientError::none);
        return watcher;
    }
    static StreamMessage next(client::Watcher& watcher, std::uint64_t* lost = nullptr) {
        StreamMessage message;
        std::uint64_t missed = 0;
        EXPECT_EQ(watcher.next(std::chrono::seconds(5), message, missed), ClientError::none);
        if (lost != nullptr) {
            *lost = missed;
        }
        return message;
    }
};

TEST_F(Watching, EveryKindOfMessageIsDecoded) {
    FakeService::Settings settings;
    settings.tstamp = true;
    FakeService service(settings);
    auto client = open_client();
    auto watcher = open_watcher(*client);
    ASSERT_TRUE(watcher->tstamp());

    const std::uint32_t tick = 123456;
    CGSVRecord gsv;
    gsv.in_view = 3;
    gsv.satellites[0].prn = 7;
    service.publish(record_message(4, sample_rmc(5), &tick));
    service.publish(record_message(3, gsv));
    service.publish(end_scan_message());
    service.publish(ints({client::input_lost_id}));
    service.publish(ints({client::reconnected_id, 5}));

    const StreamMessage rmc = next(*watcher);
    EXPECT_EQ(rmc.id, 4);
    EXPECT_EQ(rmc.tick, tick);
    ASSERT_TRUE(rmc.record.has_value());
    EXPECT_EQ(std::get<client::RMC>(*rmc.record).time.second, 5.0F);

    const StreamMessage satellites = next(*watcher);
    ASSERT_TRUE(satellites.record.has_value());
    EXPECT_EQ(std::get<client::GSV>(*satellites.record).satellites[0].prn, 7);
    EXPECT_FALSE(satellites.tick.has_value());

    const StreamMessage scan = next(*watcher);
    EXPECT_EQ(scan.scan.code, client::scan_end);
    ASSERT_EQ(scan.scan.summary.size(), 1U);
    EXPECT_EQ(scan.scan.summary[0].port, L"COM2:");
    EXPECT_EQ(scan.scan.summary[0].rates, (std::vector<std::int32_t>{4800, 38400}));

    EXPECT_EQ(next(*watcher).id, client::input_lost_id);
    const StreamMessage reconnected = next(*watcher);
    EXPECT_EQ(reconnected.input_mode, 5);
    EXPECT_EQ(reconnected.sequence, rmc.sequence + 4);
}

TEST_F(Watching, AStreamThatCannotBeDelimitedCountsAsLost) {
    FakeService service;
    auto client = open_client();
    auto watcher = open_watcher(*client);
    // Nothing after an unknown id can be delimited: what the stream held goes as one lost.
    service.publish(ints({4242, 1, 2}));
    service.publish(ints({client::input_lost_id}));
    StreamMessage message;
    std::uint64_t lost = 0;
    EXPECT_EQ(watcher->next(std::chrono::milliseconds(300), message, lost), ClientError::timed_out);
    EXPECT_EQ(lost, 1U);
    // The next drain starts afresh.
    service.publish(ints({client::input_ended_id}));
    EXPECT_EQ(next(*watcher, &lost).id, client::input_ended_id);
    EXPECT_EQ(lost, 0U);
}

TEST_F(Watching, NothingToWatchTimesOut) {
    FakeService service;
    auto client = open_client();
    auto watcher = open_watcher(*client);
    StreamMessage message;
    std::uint64_t lost = 0;
    EXPECT_EQ(watcher->next(std::chrono::milliseconds(100), message, lost), ClientError::timed_out);
}

TEST_F(Watching, TwoWatchersEachSeeEveryMessageInOrder) {
    FakeService service;
    constexpr int messages = 200;
    auto watch = [&](std::vector<int>& seconds) {
        auto client = open_client();
        auto watcher = open_watcher(*client);
        std::uint64_t lost_total = 0;
        while (seconds.size() < messages) {
            std::uint64_t lost = 0;
            const StreamMessage message = next(*watcher, &lost);
            lost_total += lost;
            ASSERT_TRUE(message.record.has_value());
            const auto& rmc = std::get<client::RMC>(*message.record);
            seconds.push_back(rmc.time.minute * 60 + static_cast<int>(rmc.time.second));
        }
        EXPECT_EQ(lost_total, 0U);
    };
    std::vector<int> first;
    std::vector<int> second;
    {
        // Both watchers join the ring before anything is published.
        auto client = open_client();
        auto anchor = open_watcher(*client);
        std::thread a(watch, std::ref(first));
        std::thread b(watch, std::ref(second));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int i = 0; i < messages; ++i) {
            service.publish(record_message(4, sample_rmc(i)));
            if (i % 20 == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        a.join();
        b.join();
    }
    std::vector<int> expected(messages);
    for (int i = 0; i < messages; ++i) {
        expected[i] = i;
    }
    EXPECT_EQ(first, expected);
    EXPECT_EQ(second, expected);
}

TEST_F(Watching, SleepingWatchersWakeForEveryBurstWithoutLookingAgainPeriodically) {
    // Each burst starts while the watchers are going to sleep or asleep, the moment in which a
    // wake-up can be missed. A watcher has no periodic second look: a missed wake-up would leave
    // it asleep until its time-out, which is counted.
    FakeService service;
    constexpr int watchers = 3;
    constexpr int bursts = 60;
    constexpr int burst_size = 40;
    constexpr int messages = bursts * burst_size;
    std::mutex progress_lock;
    std::condition_variable progressed;
    std::vector<int> seen(watchers, 0);
    std::vector<int> timeouts(watchers, 0);
    std::vector<std::uint64_t> lost(watchers, 0);
    std::vector<bool> in_order(watchers, true);
    auto watch = [&](int index, client::Watcher& watcher) {
        for (int received = 0; received < messages;) {
            StreamMessage message;
            std::uint64_t missed = 0;
            const ClientError result = watcher.next(std::chrono::seconds(10), message, missed);
            std::lock_guard hold(progress_lock);
            lost[index] += missed;
            if (result != ClientError::none) {
                ++timeouts[index];
                if (timeouts[index] > 2) {
                    return;
                }
                continue;
            }
            const auto& rmc = std::get<client::RMC>(*message.record);
            in_order[index] = in_order[index] &&
                              static_cast<int>(rmc.time.second) + 60 * rmc.time.minute == received;
            seen[index] = ++received;
            progressed.notify_all();
        }
    };
    // Every watcher joins the ring before anything is published, each with a client of its own.
    std::vector<std::unique_ptr<client::Client>> clients;
    std::vector<std::unique_ptr<client::Watcher>> opened;
    std::vector<std::thread> threads;
    for (int i = 0; i < watchers; ++i) {
        clients.push_back(open_client());
        opened.push_back(open_watcher(*clients.back()));
        threads.emplace_back(watch, i, std::ref(*opened.back()));
    }
    for (int burst = 0; burst < bursts; ++burst) {
        for (int i = 0; i < burst_size; ++i) {
            service.publish(record_message(4, sample_rmc(burst * burst_size + i)));
        }
        // The next burst waits until every watcher has taken this one.
        std::unique_lock hold(progress_lock);
        const bool taken = progressed.wait_for(hold, std::chrono::seconds(30), [&] {
            return std::all_of(seen.begin(), seen.end(),
                               [&](int count) { return count == (burst + 1) * burst_size; });
        });
        if (!taken) {
            ADD_FAILURE() << "burst " << burst << " not taken by every watcher";
            break;
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < watchers; ++i) {
        SCOPED_TRACE("watcher " + std::to_string(i));
        EXPECT_EQ(seen[i], messages);
        EXPECT_EQ(timeouts[i], 0) << "a wake-up was missed";
        EXPECT_EQ(lost[i], 0U);
        EXPECT_TRUE(in_order[i]);
    }
}

TEST_F(Watching, AWatcherThatFallsBehindTheRingLearnsHowManyItLost) {
    FakeService service;
    auto client = open_client();
    auto reader = open_watcher(*client);
    auto sleeper = open_watcher(*client);
    const int published = static_cast<int>(client::WatchRing::slot_count) + 44;
    for (int i = 0; i < published; ++i) {
        service.publish(record_message(4, sample_rmc(i)));
        next(*reader);  // keeps draining, so the ring moves on without the sleeper
    }
    std::uint64_t lost = 0;
    const StreamMessage first = next(*sleeper, &lost);
    EXPECT_EQ(lost, 44U);
    EXPECT_EQ(std::get<client::RMC>(*first.record).time.second, 44.0F);
}

}  // namespace
}  // namespace tarnwick::test
