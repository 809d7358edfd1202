// The service on a line paced like a real UART: how often it wakes per sentence, its CPU per
// 1000 sentences, and the latency from the last byte of an RMC to the record in a client.
//
// A receiver at 4800 or 9600 baud sends its epoch once a second as one continuous run of bytes;
// the UART's FIFO hands them to the kernel in pieces (14 bytes at the usual trigger level, the
// rest of a run after the FIFO's receive time-out of 4 character times). The benchmark writes
// the simulator's epochs into the pseudo-terminal's master in exactly such pieces, each at the
// instant its last byte would have arrived at the line's byte rate (10 bits per byte, 8N1).
//
// Context switches come from /proc/<pid>/task/<tid>/status (voluntary + involuntary) of every
// thread of tarnwickd, taken before and after the window; the busiest thread is the serial
// reader. The client is libtarnwick's Watcher, in the benchmark's process.
//
//   service_uart_bench [--baud 4800] [--duration 120] [--piece 14]

#include <CLI/CLI.hpp>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include "bench/service/bench_namespace.h"
#include "bench/service/latency_summary.h"
#include "bench/service/receiver_line.h"
#include "bench/service/service_child.h"
#include "bench/service/service_connection.h"
#include "bench/service/simulated_drive.h"
#include "client/records.h"
#include "client/watcher.h"
#include "nmea/message_id.h"
#include "platform/win32.h"

namespace {

using tarnwick::bench::monotonic_ns;
using tarnwick::bench::ServiceChild;
using tarnwick::bench::sleep_until;

constexpr std::int64_t epoch_ns = 1'000'000'000;
constexpr int bits_per_byte = 10;
constexpr int fifo_timeout_characters = 4;
constexpr auto rmc_id = static_cast<std::int32_t>(NMEAMessageId::RMC);

// Hundredths of a second of the day, as the RMC's time field gives it.
int hundredths_of(const tarnwick::client::RMC& rmc) {
    return rmc.time.hour * 360000 + rmc.time.minute * 6000 +
           static_cast<int>(std::lround(rmc.time.second * 100.0f));
}

// Where the RMC of an epoch's text ends (one past its LF), and its time in hundredths of the
// day.
struct RmcPlace {
    std::size_t end = 0;
    int hundredths = -1;
};

RmcPlace rmc_place(const std::string& epoch) {
    RmcPlace place;
    const std::size_t start = epoch.find("RMC,");
    if (start == std::string::npos) {
        return place;
    }
    place.end = epoch.find('\n', start) + 1;
    const std::string time = epoch.substr(start + 4, 9);  // hhmmss.ss
    place.hundredths = std::stoi(time.substr(0, 2)) * 360000 + std::stoi(time.substr(2, 2)) * 6000 +
                       static_cast<int>(std::lround(std::stod(time.substr(4)) * 100));
    return place;
}

// The receiver behind a UART: one epoch a second, in FIFO-sized pieces at the line's byte rate.
class UartSender {
  public:
    UartSender(tarnwick::bench::ReceiverLine& line, int baud, std::size_t piece, std::size_t epochs)
        : line_(line),
          byte_ns_(1e9 * bits_per_byte / baud),
          piece_(piece),
          drive_(tarnwick::bench::simulated_drive(8)),
          rmc_sent_at_(epochs, -1) {
        for (const std::string& text : drive_.texts) {
            places_.push_back(rmc_place(text));
        }
    }

    void run() {
        const std::int64_t start = monotonic_ns();
        std::int64_t line_free = start;
        for (std::size_t epoch = 0; epoch < rmc_sent_at_.size() && !stop_; ++epoch) {
            const std::size_t index = epoch % drive_.texts.size();
            const std::string& text = drive_.texts[index];
            // A receiver whose epoch outlasts the second starts the next one when the line is free.
            const std::int64_t begins =
                std::max(start + static_cast<std::int64_t>(epoch) * epoch_ns, line_free);
            for (std::size_t offset = 0; offset < text.size(); offset += piece_) {
                const std::size_t size = std::min(piece_, text.size() - offset);
                double arrives = static_cast<double>(offset + size) * byte_ns_;
                if (size < piece_) {
                    arrives += fifo_timeout_characters * byte_ns_;
                }
                sleep_until(begins + static_cast<std::int64_t>(arrives));
                std::int64_t written_at = 0;
                if (!line_.send(std::string_view(text).substr(offset, size), written_at)) {
                    return;
                }
                const RmcPlace& rmc = places_[index];
                if (rmc.end > offset && rmc.end <= offset + size) {
                    rmc_sent_at_[epoch] = written_at;
                    rmc_sent_.store(epoch + 1);
                }
                sentences_.fetch_add(static_cast<std::uint64_t>(
                    std::count(text.begin() + static_cast<std::ptrdiff_t>(offset),
                               text.begin() + static_cast<std::ptrdiff_t>(offset + size), '\n')));
            }
            line_free =
                begins + static_cast<std::int64_t>(static_cast<double>(text.size()) * byte_ns_);
            epochs_.store(epoch + 1);
        }
    }
    void stop() { stop_ = true; }

    std::uint64_t sentences() const { return sentences_.load(); }
    std::size_t epochs() const { return epochs_.load(); }
    // The epoch whose RMC, sent last with this time, a client has just received; -1 if none.
    long epoch_of(int hundredths) const {
        const std::size_t sent = rmc_sent_.load();
        const std::size_t cycle = drive_.texts.size();
        for (std::size_t index = 0; index < cycle; ++index) {
            if (places_[index].hundredths == hundredths && sent > index) {
                return static_cast<long>((sent - 1) - ((sent - 1 - index) % cycle));
            }
        }
        return -1;
    }
    // After run() returned.
    const std::vector<std::int64_t>& rmc_sent_at() const { return rmc_sent_at_; }
    double mean_epoch_bytes() const {
        double total = 0;
        for (const std::string& text : drive_.texts) {
            total += static_cast<double>(text.size());
        }
        return total / static_cast<double>(drive_.texts.size());
    }

  private:
    tarnwick::bench::ReceiverLine& line_;
    double byte_ns_;
    std::size_t piece_;
    tarnwick::bench::Epochs drive_;
    std::vector<RmcPlace> places_;
    std::vector<std::int64_t> rmc_sent_at_;
    std::atomic<std::size_t> rmc_sent_{0};
    std::atomic<std::size_t> epochs_{0};
    std::atomic<std::uint64_t> sentences_{0};
    std::atomic<bool> stop_{false};
};

// Context switches made in a window: of the whole process, and of its busiest thread (the
// serial reader), voluntary (it waited) and involuntary (it was preempted).
struct SwitchCount {
    std::uint64_t process = 0;
    std::uint64_t reader_voluntary = 0;
    std::uint64_t reader_involuntary = 0;
};

SwitchCount switches_between(const std::map<pid_t, ServiceChild::Switches>& before,
                             const std::map<pid_t, ServiceChild::Switches>& after) {
    SwitchCount count;
    for (const auto& [thread, total] : after) {
        const auto earlier = before.find(thread);
        const ServiceChild::Switches start =
            earlier != before.end() ? earlier->second : ServiceChild::Switches{};
        const std::uint64_t voluntary = total.voluntary - start.voluntary;
        const std::uint64_t involuntary = total.involuntary - start.involuntary;
        count.process += voluntary + involuntary;
        if (voluntary + involuntary > count.reader_voluntary + count.reader_involuntary) {
            count.reader_voluntary = voluntary;
            count.reader_involuntary = involuntary;
        }
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    int baud = 4800;
    double duration = 120;
    std::size_t piece = 14;
    double settle = 3;
    bool realtime_client = false;
    CLI::App app{"tarnwickd on a UART-paced line: wake-ups, CPU and latency per sentence"};
    app.add_option("--baud", baud, "the line's rate (10 bits per byte)")->capture_default_str();
    app.add_option("--duration", duration, "seconds measured")->capture_default_str();
    app.add_option("--piece", piece, "bytes the UART hands over at a time")->capture_default_str();
    app.add_option("--settle", settle, "seconds between connecting and measuring")
        ->capture_default_str();
    app.add_flag("--realtime-client", realtime_client,
                 "the client reads at SCHED_FIFO 1, so that a busy machine cannot preempt it while "
                 "it holds the data stream's guard, which the service then waits for");
    CLI11_PARSE(app, argc, argv);
    if (baud < 300 || duration <= 0 || piece == 0) {
        std::fprintf(stderr, "baud must be at least 300, duration and piece positive\n");
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
        const auto epochs = static_cast<std::size_t>(duration + settle + 30);
        UartSender sender(line, baud, piece, epochs);
        std::thread sending([&sender] { sender.run(); });
        auto connection = tarnwick::bench::open_client();
        tarnwick::bench::connect_service(*connection, line.port_name(), baud);
        std::unique_ptr<tarnwick::client::Watcher> watcher;
        if (tarnwick::client::Watcher::open(*connection, watcher) !=
            tarnwick::client::ClientError::none) {
            throw std::runtime_error("cannot watch the data stream");
        }
        const bool raised =
            realtime_client &&
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != FALSE;
        sleep_until(monotonic_ns() + static_cast<std::int64_t>(settle * 1e9));

        // The window runs from an epoch's start to another's, so that it holds whole epochs.
        const std::size_t first = sender.epochs() + 1;
        const std::size_t last = first + static_cast<std::size_t>(duration);
        while (sender.epochs() < first && service.running()) {
            sleep_until(monotonic_ns() + 1'000'000);
        }
        const std::int64_t cpu_before = service.cpu_ns();
        const auto switches_before = service.thread_switches();
        const std::uint64_t sentences_before = sender.sentences();
        std::vector<std::int64_t> received_at(epochs, -1);
        std::uint64_t lost_total = 0;
        std::uint64_t unmatched = 0;
        while (sender.epochs() < last && service.running()) {
            tarnwick::client::StreamMessage message;
            std::uint64_t lost = 0;
            const auto got = watcher->next(std::chrono::milliseconds(500), message, lost);
            const std::int64_t now = monotonic_ns();
            lost_total += lost;
            if (got != tarnwick::client::ClientError::none || message.id != rmc_id ||
                !message.record) {
                continue;
            }
            const long epoch =
                sender.epoch_of(hundredths_of(std::get<tarnwick::client::RMC>(*message.record)));
            if (epoch >= 0 && static_cast<std::size_t>(epoch) < received_at.size()) {
                received_at[static_cast<std::size_t>(epoch)] = now;
            } else {
                ++unmatched;
            }
        }
        const std::int64_t cpu_used = service.cpu_ns() - cpu_before;
        const SwitchCount switches = switches_between(switches_before, service.thread_switches());
        const std::uint64_t sentences = sender.sentences() - sentences_before;
        sender.stop();
        line.cancel();
        sending.join();

        std::size_t missing = 0;
        const std::vector<std::int64_t> latencies = tarnwick::bench::latencies_between(
            sender.rmc_sent_at(), received_at, first, last - 1, missing);
        const double per_sentence = sentences > 0 ? 1.0 / static_cast<double>(sentences) : 0;
        std::printf(
            "tarnwickd on a UART-paced line: %d baud, pieces of up to %zu bytes, 1 Hz; "
            "the client at %s priority\n",
            baud, piece, raised ? "real-time (SCHED_FIFO 1)" : "normal");
        std::printf(
            "  %zu epochs (%.0f bytes each on average, the line busy %.0f %% of the time), "
            "%llu sentences\n",
            last - first, sender.mean_epoch_bytes(),
            sender.mean_epoch_bytes() * bits_per_byte / baud * 100,
            static_cast<unsigned long long>(sentences));
        std::printf(
            "  context switches per sentence: %.2f (the whole process), %.2f (the serial "
            "reader thread: %.2f waits, %.2f preemptions)\n",
            static_cast<double>(switches.process) * per_sentence,
            static_cast<double>(switches.reader_voluntary + switches.reader_involuntary) *
                per_sentence,
            static_cast<double>(switches.reader_voluntary) * per_sentence,
            static_cast<double>(switches.reader_involuntary) * per_sentence);
        std::printf("  CPU %.4f s = %.4f s per 1000 sentences\n",
                    static_cast<double>(cpu_used) / 1e9,
                    static_cast<double>(cpu_used) / 1e9 * 1000 * per_sentence);
        std::printf(
            "  latency, last byte of an RMC written -> record in a client (%zu RMC, %zu not "
            "received, %llu messages lost by the watcher):\n",
            latencies.size(), missing, static_cast<unsigned long long>(lost_total));
        tarnwick::bench::print_summary(tarnwick::bench::summarize(latencies));
        if (missing > 0 || unmatched > 0) {
            std::printf("  RMC records without a matching epoch: %llu; epochs not received:",
                        static_cast<unsigned long long>(unmatched));
            for (std::size_t epoch = first; epoch + 1 < last; ++epoch) {
                if (received_at[epoch] < 0) {
                    std::printf(" %zu", epoch);
                }
            }
            std::printf("\n");
        }
        watcher.reset();
        connection.reset();
        const int code = service.stop();
        return missing == 0 && code == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "service_uart_bench: %s\n", error.what());
        return 1;
    }
}
