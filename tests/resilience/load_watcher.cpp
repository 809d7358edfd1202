// A client that watches the data stream through libtarnwick's Watcher for a number of seconds
// and checks that it sees every message once, in order and whole: ring positions follow one
// another without gaps, nothing is reported lost, every message decodes, and the receiver's RMC
// times never go back. Prints "watching" once it has joined, and at its end one line,
//   messages N lost L disorder D
// With STALL_AFTER it stops taking messages after that many seconds (a client that no longer
// drains the stream) and looks once more at its end.
//
// Usage: load_watcher SECONDS [STALL_AFTER]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <tuple>

#include "client/client.h"
#include "client/records.h"
#include "client/watcher.h"
#include "nmea/message_id.h"

namespace {

using namespace tarnwick::client;
using Clock = std::chrono::steady_clock;

struct Tally {
    long messages = 0;
    std::uint64_t lost = 0;
    long disorder = 0;
};

class OrderCheck {
  public:
    void take(const StreamMessage& message, Tally& tally) {
        if (any_ && message.sequence != last_sequence_ + 1) {
            ++tally.disorder;
        }
        any_ = true;
        last_sequence_ = message.sequence;
        if (message.id != static_cast<std::int32_t>(NMEAMessageId::RMC)) {
            return;
        }
        const auto* rmc =
            message.record ? std::get_if<tarnwick::client::RMC>(&*message.record) : nullptr;
        if (rmc == nullptr) {
            ++tally.disorder;
            return;
        }
        const auto moment = std::make_tuple(rmc->year, rmc->month, rmc->day, rmc->time.hour,
                                            rmc->time.minute, rmc->time.second);
        if (moment < last_rmc_) {
            ++tally.disorder;
        }
        last_rmc_ = moment;
    }

  private:
    bool any_ = false;
    std::uint64_t last_sequence_ = 0;
    std::tuple<std::int8_t, std::int8_t, std::int8_t, std::uint8_t, std::uint8_t, float>
        last_rmc_{};
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: load_watcher SECONDS [STALL_AFTER]\n");
        return 2;
    }
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(std::atof(argv[1])));
    const auto stall = argc == 3 ? start + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(std::atof(argv[2])))
                                 : end;
    ClientOptions options;
    options.may_start = false;
    std::unique_ptr<Client> client;
    std::unique_ptr<Watcher> watcher;
    if (Client::open(options, client) != ClientError::none ||
        Watcher::open(*client, watcher) != ClientError::none) {
        std::fprintf(stderr, "load_watcher: cannot watch\n");
        return 1;
    }
    std::puts("watching");
    std::fflush(stdout);

    Tally tally;
    OrderCheck order;
    StreamMessage message;
    std::uint64_t lost = 0;
    while (Clock::now() < stall) {
        const ClientError error = watcher->next(std::chrono::milliseconds(200), message, lost);
        tally.lost += lost;
        if (error == ClientError::none) {
            ++tally.messages;
            order.take(message, tally);
        }
    }
    if (stall < end) {
        std::this_thread::sleep_until(end);
        watcher->next(std::chrono::milliseconds(0), message, lost);
        tally.lost += lost;
    }
    std::printf("messages %ld lost %llu disorder %ld\n", tally.messages,
                static_cast<unsigned long long>(tally.lost), tally.disorder);
    return 0;
}
