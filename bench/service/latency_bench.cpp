// End-to-end latency of the service: from the instant the last byte of an RMC sentence enters
// the receiver's line to the instant a client holds the decoded record, read from the data
// stream through libtarnwick's Watcher.
//
// The benchmark is the receiver itself: it writes the pseudo-terminal's master and stamps
// CLOCK_MONOTONIC when that write returns, so the "last byte written" instant is exact and no
// third process adds its own scheduling to the figures. Each period it sends one RMC on its
// own, its time field carrying the period's number, and 20 ms later the rest of a realistic
// epoch (GGA, GSA, a GSV set, VTG, GLL), as a receiver that leads its epoch with the RMC; the
// client stamps the same clock when Watcher::next hands over the record.
//
// Halfway through each period it also measures the machine alone (BareChain): the same
// pseudo-terminal and futex wake-ups with no service in between, so that the tail the machine
// gives (on a virtual machine, mostly virtual CPUs that take long to run again) can be told from
// the tail the service adds.
//
//   service_latency_bench [--duration 600] [--rate 10]

#include <time.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/service/bare_chain.h"
#include "bench/service/bench_namespace.h"
#include "bench/service/latency_summary.h"
#include "bench/service/receiver_line.h"
#include "bench/service/service_child.h"
#include "bench/service/service_connection.h"
#include "client/records.h"
#include "client/watcher.h"
#include "nmea/message_id.h"
#include "tools/tarnwick-sim/nmea_sentences.h"
#include "tools/tarnwick-sim/scenario.h"

namespace {

using tarnwick::bench::monotonic_ns;
using tarnwick::bench::sleep_until;

// Periods are numbered in the RMC's time of day in tenths of a second, which a record
// carries back unchanged (hours, minutes, seconds as a float).
constexpr int tenths_per_day = 864000;
constexpr std::int64_t rest_of_epoch_delay_ns = 20'000'000;
// The bare chain's line is written halfway through a 10 Hz period, away from the service's
// sentences, so that neither waits for the other's threads.
constexpr std::int64_t bare_chain_delay_ns = 50'000'000;
constexpr auto rmc_id = static_cast<std::int32_t>(NMEAMessageId::RMC);

std::string tagged_rmc(int period) {
    const int tenths = period % tenths_per_day;
    char body[128];
    std::snprintf(body, sizeof body,
                  "GPRMC,%02d%02d%02d.%d0,A,4530.1020,N,07334.0380,W,012.5,084.4,140326,003.1,W",
                  tenths / 36000, tenths / 600 % 60, tenths / 10 % 60, tenths % 10);
    std::string sentence;
    tarnwick::sim::append_sentence(sentence, body);
    return sentence;
}

int period_of(const tarnwick::client::RMC& rmc) {
    return rmc.time.hour * 36000 + rmc.time.minute * 600 +
           static_cast<int>(std::lround(rmc.time.second * 10.0f));
}

// The sentences of an epoch after its RMC.
std::string rest_of_epoch(tarnwick::sim::Scenario& scenario) {
    std::string sentences;
    tarnwick::sim::append_epoch_sentences(sentences, scenario.next_epoch());
    return sentences.substr(sentences.find('\n') + 1);
}

// The receiver's side: one epoch per period until told to stop or out of room for stamps.
class Sender {
  public:
    Sender(tarnwick::bench::ReceiverLine& line, tarnwick::bench::BareChain& bare, double rate,
           std::size_t periods)
        : line_(line),
          bare_(bare),
          period_ns_(static_cast<std::int64_t>(1e9 / rate)),
          sent_at_(periods, -1),
          bare_sent_at_(periods, -1) {}

    void run() {
        tarnwick::sim::Scenario scenario{tarnwick::sim::ScenarioOptions{}};
        std::int64_t next = monotonic_ns();
        for (std::size_t period = 0; period < sent_at_.size() && !stop_; ++period) {
            sleep_until(next);
            if (!line_.send(tagged_rmc(static_cast<int>(period)), sent_at_[period])) {
                break;
            }
            sent_.store(period + 1);
            sleep_until(next + rest_of_epoch_delay_ns);
            line_.send(rest_of_epoch(scenario));
            if (bare_chain_delay_ns < period_ns_) {
                sleep_until(next + bare_chain_delay_ns);
                bare_sent_at_[period] = bare_.send(period);
            }
            next += period_ns_;
        }
    }
    void stop() { stop_ = true; }
    // How many periods have been sent so far.
    std::size_t sent() const { return sent_.load(); }
    // After run() returned.
    const std::vector<std::int64_t>& sent_at() const { return sent_at_; }
    const std::vector<std::int64_t>& bare_sent_at() const { return bare_sent_at_; }

  private:
    tarnwick::bench::ReceiverLine& line_;
    tarnwick::bench::BareChain& bare_;
    std::int64_t period_ns_;
    std::vector<std::int64_t> sent_at_;
    std::vector<std::int64_t> bare_sent_at_;
    std::atomic<std::size_t> sent_{0};
    std::atomic<bool> stop_{false};
};

}  // namespace

int main(int argc, char** argv) {
    double duration = 600;
    double rate = 10;
    CLI::App app{"End-to-end latency of tarnwickd: RMC written to the line -> record in a client"};
    app.add_option("--duration", duration, "seconds measured")->capture_default_str();
    app.add_option("--rate", rate, "epochs per second")->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    if (rate <= 0 || rate > 45 || duration <= 0) {
        std::fprintf(stderr, "rate must lie in (0, 45] Hz and duration be positive\n");
        return 2;
    }
    try {
        tarnwick::bench::BenchNamespace space;
        tarnwick::bench::ReceiverLine line;
        tarnwick::bench::ServiceChild service;
        if (service.wait_ready() < 0) {
            std::fprintf(stderr, "tarnwickd did not start\n");
            return 1;
        }
        const auto periods = static_cast<std::size_t>((duration + 30) * rate);
        tarnwick::bench::BareChain bare(periods);
        Sender sender(line, bare, rate, periods);
        std::thread sending([&sender] { sender.run(); });
        auto connection = tarnwick::bench::open_client();
        tarnwick::bench::connect_service(*connection, line.port_name(), 4800);
        std::unique_ptr<tarnwick::client::Watcher> watcher;
        if (tarnwick::client::Watcher::open(*connection, watcher) !=
            tarnwick::client::ClientError::none) {
            throw std::runtime_error("cannot watch the data stream");
        }

        // The first period the watcher surely sees in full, and the window from there.
        const std::size_t first = sender.sent() + 1;
        const std::size_t last = first + static_cast<std::size_t>(duration * rate);
        const std::int64_t cpu_before = service.cpu_ns();
        std::vector<std::int64_t> received_at(periods, -1);
        std::uint64_t lost_total = 0;
        while (sender.sent() < last + 1 && service.running()) {
            tarnwick::client::StreamMessage message;
            std::uint64_t lost = 0;
            const auto got = watcher->next(std::chrono::milliseconds(500), message, lost);
            const std::int64_t now = monotonic_ns();
            lost_total += lost;
            if (got != tarnwick::client::ClientError::none || message.id != rmc_id ||
                !message.record) {
                continue;
            }
            const int period = period_of(std::get<tarnwick::client::RMC>(*message.record));
            if (period >= 0 && static_cast<std::size_t>(period) < received_at.size()) {
                received_at[static_cast<std::size_t>(period)] = now;
            }
        }
        const std::int64_t cpu_used = service.cpu_ns() - cpu_before;
        const long peak_kib = service.peak_resident_kib();
        sender.stop();
        sending.join();
        bare.stop();

        std::size_t missing = 0;
        const std::vector<std::int64_t> latencies =
            tarnwick::bench::latencies_between(sender.sent_at(), received_at, first, last, missing);
        std::size_t bare_missing = 0;
        const std::vector<std::int64_t> bare_latencies = tarnwick::bench::latencies_between(
            sender.bare_sent_at(), bare.received_at(), first, last, bare_missing);
        std::printf(
            "tarnwickd latency: last byte of an RMC written to the line -> decoded record "
            "in a client (Watcher)\n");
        std::printf(
            "  %.1f Hz for %.0f s: %zu RMC measured, %zu not received, %llu messages "
            "lost by the watcher\n",
            rate, duration, latencies.size(), missing, static_cast<unsigned long long>(lost_total));
        tarnwick::bench::print_summary(tarnwick::bench::summarize(latencies));
        std::printf(
            "the machine alone, in the same window: a line written to a pseudo-terminal -> a "
            "thread blocked in read() -> futex -> a waiting thread (%zu lines, %zu not received)\n",
            bare_latencies.size(), bare_missing);
        tarnwick::bench::print_summary(tarnwick::bench::summarize(bare_latencies));
        std::printf("  tarnwickd: %.4f s CPU in the window, peak resident set (VmHWM) %ld KiB\n",
                    static_cast<double>(cpu_used) / 1e9, peak_kib);
        watcher.reset();
        connection.reset();
        const int code = service.stop();
        return missing == 0 && code == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "service_latency_bench: %s\n", error.what());
        return 1;
    }
}
