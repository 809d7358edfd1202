// A client stopped (SIGSTOP) while it holds the "data_stream" guard, as a client suspended with
// Ctrl-Z or held in a debugger would be. Every other client's requests are answered within their
// own bounds meanwhile, also while the input ends, a receiver query waits for its reply, an
// input is taken out and a port is set up; the data stream waits, and once the holder lets go it
// flows again, whole and in order.

#include <signal.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "client/client.h"
#include "client/watcher.h"
#include "tests/resilience/resilience_support.h"
#include "tests/server/service_fixture.h"

namespace tarnwick::test {
namespace {

using client::ClientError;
using client::RequestBatch;
using namespace std::chrono_literals;

// A request-only client whose transactions give up after `bound`.
std::unique_ptr<client::Client> client_with_bound(std::chrono::milliseconds bound) {
    client::ClientOptions options;
    options.may_start = false;
    options.answer_timeout = bound;
    std::unique_ptr<client::Client> client;
    EXPECT_EQ(client::Client::open(options, client), ClientError::none);
    return client;
}

// The answers to `batch`, asked by a fresh request-only client within `bound`; empty (and a
// failure) when they did not come in time.
std::vector<client::Answer> answered_within(std::chrono::milliseconds bound,
                                            const RequestBatch& batch) {
    const auto client = client_with_bound(bound);
    std::vector<client::Answer> answers;
    if (client == nullptr) {
        return answers;
    }
    const ClientError error = client->send(batch, answers);
    EXPECT_EQ(error, ClientError::none) << "not answered within " << bound.count() << " ms";
    return answers;
}

std::int32_t input_mode_within(std::chrono::milliseconds bound) {
    const auto answers = answered_within(bound, RequestBatch().get_input_mode());
    return answers.empty() ? -1 : answers[0].result;
}

auto time_of(const client::Record& record) {
    const client::Time& time = std::get<client::RMC>(record).time;
    return std::make_tuple(time.hour, time.minute, time.second);
}

class StalledClientTest : public ServiceTest {};

TEST_F(StalledClientTest, EveryRequestIsAnsweredAndTheStreamFlowsAgainInOrder) {
    auto receiver = start_receiver("COM1:");
    start_service();
    ASSERT_EQ(session().ask(RequestBatch().connect_port(L"COM1:", 4800)).result, 1);
    const auto watching = client_with_bound(20s);
    ASSERT_NE(watching, nullptr);
    std::unique_ptr<client::Watcher> watcher;
    ASSERT_EQ(client::Watcher::open(*watching, watcher), ClientError::none);
    std::vector<client::StreamMessage> messages;
    std::uint64_t lost = 0;
    auto take = [&](std::chrono::milliseconds timeout) {
        client::StreamMessage message;
        std::uint64_t lost_now = 0;
        const bool got = watcher->next(timeout, message, lost_now) == ClientError::none;
        lost += lost_now;
        if (got) {
            messages.push_back(std::move(message));
        }
        return got;
    };
    while (messages.empty()) {
        ASSERT_TRUE(take(15s)) << "the receiver's records reach the watcher";
    }
    const auto before = answered_within(45s, RequestBatch().get_receiver());
    ASSERT_EQ(before.size(), 1u);

    const auto holder = guard_holder("channel", "data_stream");
    ASSERT_EQ(holder->read_line(), "held");
    holder->kill(SIGSTOP);

    // Opening a client and asking touches nothing of the data stream.
    const auto plain = answered_within(5s, RequestBatch().get_time_stamp_mode().get_input_mode());
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(plain[1].result, 1);
    // The reader goes on reading the port while its records wait: the reply to the query is
    // read and the query is answered as before.
    const auto query = answered_within(45s, RequestBatch().get_receiver());
    ASSERT_EQ(query.size(), 1u);
    EXPECT_EQ(query[0].result, before[0].result);
    EXPECT_EQ(answered_within(5s, RequestBatch().disconnect()).size(), 1u);
    EXPECT_EQ(input_mode_within(5s), 0);
    const auto connected = answered_within(15s, RequestBatch().connect_port(L"COM1:", 4800));
    ASSERT_EQ(connected.size(), 1u);
    EXPECT_EQ(connected[0].result, 1);
    std::this_thread::sleep_for(1500ms);

    // The input ends while the stream is held: the ended reader is taken out at once.
    receiver->signal(SIGKILL);
    receiver->wait();
    const auto ended_by = std::chrono::steady_clock::now() + 10s;
    std::int32_t mode = input_mode_within(5s);
    while (mode != 0 && std::chrono::steady_clock::now() < ended_by) {
        std::this_thread::sleep_for(200ms);
        mode = input_mode_within(5s);
    }
    EXPECT_EQ(mode, 0) << "the ended input was taken out while the stream was held";
    EXPECT_EQ(answered_within(5s, RequestBatch().disconnect()).size(), 1u);

    holder->kill(SIGCONT);
    holder->kill(SIGKILL);
    EXPECT_EQ(holder->wait(), -SIGKILL);
    const std::size_t released_at = messages.size();
    auto input_lost_seen = [&] {
        for (std::size_t i = released_at; i < messages.size(); ++i) {
            if (messages[i].id == input_lost_id) {
                return true;
            }
        }
        return false;
    };
    const auto flowing_by = std::chrono::steady_clock::now() + 15s;
    while (!input_lost_seen() && std::chrono::steady_clock::now() < flowing_by) {
        take(1s);
    }
    ASSERT_TRUE(input_lost_seen()) << "what waited reaches the watcher once the guard is free";
    EXPECT_EQ(lost, 0u) << "no message torn or lost";
    int held_records = 0;
    for (std::size_t i = 1; i < messages.size(); ++i) {
        if (messages[i].id != rmc_id) {
            continue;
        }
        held_records += i >= released_at ? 1 : 0;
        for (std::size_t j = i; j-- > 0;) {
            if (messages[j].id == rmc_id) {
                EXPECT_LT(time_of(*messages[j].record), time_of(*messages[i].record))
                    << "records in the order of their times";
                break;
            }
        }
    }
    EXPECT_GT(held_records, 0) << "records of the held time were kept";
    // The end of the input comes after the last of its records.
    std::size_t last_record = 0;
    std::size_t lost_at = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        last_record = messages[i].id == rmc_id ? i : last_record;
        lost_at = messages[i].id == input_lost_id ? i : lost_at;
    }
    EXPECT_LT(last_record, lost_at);
}

}  // namespace
}  // namespace tarnwick::test
