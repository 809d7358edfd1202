// CPU time of the service per 1000 sentences: a realistic epoch (RMC, GGA, GSA, a GSV set, VTG,
// GLL) at a chosen rate, or as fast as the service takes them from the line, while one client
// drains the data stream (lean: it takes the channel's bytes and only counts the messages).
// The service's CPU time (all threads, user + system) comes from its CPU clock
// (clock_getcpuclockid: the kernel's exact account, which /proc/<pid>/stat shows in 10 ms
// ticks only); the peak resident set from /proc/<pid>/status.
//
//   service_cpu_bench [--duration 600] [--rate 1]     epochs per second
//   service_cpu_bench --duration 60 --rate 0           as fast as the line takes them
//
// When the client cannot keep up, the data stream overflows and the service stops itself: the
// benchmark says so, and that rate is beyond what the service sustains.

#include <time.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/service/bench_namespace.h"
#include "bench/service/receiver_line.h"
#include "bench/service/service_child.h"
#include "bench/service/service_connection.h"
#include "bench/service/simulated_drive.h"
#include "client/message_decoding.h"
#include "client/service_objects.h"
#include "client/stream_message.h"
#include "exchange/exchange_reader.h"
#include "platform/win32.h"

namespace {

using tarnwick::bench::monotonic_ns;
using tarnwick::bench::sleep_until;

// Epochs per write when the line is flooded: large writes, as a fast receiver's burst.
constexpr std::size_t flood_batch = 32;

using tarnwick::bench::Epochs;
using tarnwick::bench::simulated_drive;

// The receiver: epochs at a rate per second (0: back to back, as fast as the line takes them).
// It starts at 10 per second, so that the backlog the line gathers while the service connects
// stays small, and takes the rate to measure when told.
class Sender {
  public:
    Sender(tarnwick::bench::ReceiverLine& line, int satellites_in_view)
        : line_(line), drive_(simulated_drive(satellites_in_view)) {}

    void set_rate(double rate) { rate_ = rate; }

    void run() {
        double rate = -1;
        std::int64_t start = 0;
        std::uint64_t epochs = 0;
        std::uint64_t epochs_at_start = 0;
        std::string batch;
        while (!stop_) {
            if (rate != rate_) {
                rate = rate_;
                start = monotonic_ns();
                epochs_at_start = epochs;
            }
            std::uint64_t due = flood_batch;
            if (rate > 0) {
                const double elapsed = static_cast<double>(monotonic_ns() - start) / 1e9;
                const auto owed = epochs_at_start + static_cast<std::uint64_t>(elapsed * rate) + 1;
                if (owed <= epochs) {
                    const double ahead = static_cast<double>(epochs - epochs_at_start) / rate;
                    sleep_until(start + static_cast<std::int64_t>(ahead * 1e9));
                    continue;
                }
                due = std::min<std::uint64_t>(owed - epochs, flood_batch);
            }
            batch.clear();
            std::uint64_t in_batch = 0;
            for (std::uint64_t i = 0; i < due; ++i, ++epochs) {
                const std::size_t index = epochs % drive_.texts.size();
                batch += drive_.texts[index];
                in_batch += static_cast<std::uint64_t>(drive_.sentences[index]);
            }
            if (!line_.send(batch)) {
                return;
            }
            sentences_.fetch_add(in_batch);
        }
    }
    void stop() { stop_ = true; }
    std::uint64_t sentences() const { return sentences_.load(); }

  private:
    tarnwick::bench::ReceiverLine& line_;
    std::atomic<double> rate_{10};
    Epochs drive_;
    std::atomic<std::uint64_t> sentences_{0};
    std::atomic<bool> stop_{false};
};

// The one client (it opens the data stream's objects itself, beside the connection that started
// the service): empties the data stream whenever it is signalled and counts the messages.
// Optionally it lets messages gather for a while after the signal, as a client that only needs
// the stream in batches would: at high rates, a client that takes every message the moment it
// is signalled contends with the service for the channel's guard at every message.
// It runs with a real-time priority where the system allows it (SCHED_FIFO 1), so that on a busy
// machine the figures show what the service sustains rather than how late the client was
// scheduled.
class Drain {
  public:
    explicit Drain(std::chrono::microseconds batching) : batching_(batching) {
        objects_.open_data_stream();
    }

    void run() {
        raised_ = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != FALSE;
        std::vector<std::uint8_t> bytes;
        while (!stop_) {
            WaitForSingleObject(objects_.data_stream_event, 100);
            if (batching_.count() > 0) {
                std::this_thread::sleep_for(batching_);
            }
            take(bytes);
            messages_.fetch_add(count_messages(bytes));
        }
    }
    void stop() { stop_ = true; }
    std::uint64_t messages() const { return messages_.load(); }
    bool raised() const { return raised_; }

  private:
    // The stored run in reads of 4 bytes: the last read may take up to 3 bytes beyond it, too
    // few to be taken for a message (the shortest, an id alone, has 4).
    void take(std::vector<std::uint8_t>& bytes) {
        bytes.clear();
        GPS::exchange_reader reader(objects_.data_stream);
        while (!reader.at_end() && !reader.failed()) {
            std::uint8_t word[4];
            reader.read(word, sizeof word);
            bytes.insert(bytes.end(), word, word + sizeof word);
        }
    }

    static std::uint64_t count_messages(const std::vector<std::uint8_t>& bytes) {
        std::span<const std::uint8_t> rest(bytes);
        std::uint64_t count = 0;
        while (rest.size() >= 4) {
            const std::size_t length = tarnwick::client::message_length(rest, false);
            if (length == 0) {
                break;
            }
            rest = rest.subspan(length);
            ++count;
        }
        return count;
    }

    tarnwick::client::ServiceObjects objects_;
    std::chrono::microseconds batching_;
    std::atomic<std::uint64_t> messages_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> raised_{false};
};

}  // namespace

int main(int argc, char** argv) {
    double duration = 600;
    double rate = 1;
    double settle = 2;
    int batching_us = 0;
    int satellites = 8;
    CLI::App app{"CPU time of tarnwickd per 1000 sentences, one client draining the data stream"};
    app.add_option("--duration", duration, "seconds measured")->capture_default_str();
    app.add_option("--rate", rate, "epochs per second; 0: as fast as the line takes them")
        ->capture_default_str();
    app.add_option("--settle", settle, "seconds between connecting and measuring")
        ->capture_default_str();
    app.add_option("--batching", batching_us,
                   "microseconds the client lets messages gather after a signal")
        ->capture_default_str();
    app.add_option("--satellites", satellites,
                   "satellites in view at most (8: a GSV set of 2, epochs of 7 sentences)")
        ->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    if (rate < 0 || duration <= 0) {
        std::fprintf(stderr, "rate must not be negative and duration must be positive\n");
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
        Sender sender(line, satellites);
        std::thread sending([&sender] { sender.run(); });
        // The client drains from before the service connects: at high rates the stream would
        // overflow in the moment between the two.
        auto connection = tarnwick::bench::open_client();
        Drain drain{std::chrono::microseconds(batching_us)};
        std::thread draining([&drain] { drain.run(); });
        tarnwick::bench::connect_service(*connection, line.port_name(), 4800);
        sender.set_rate(rate);
        sleep_until(monotonic_ns() + static_cast<std::int64_t>(settle * 1e9));

        const std::int64_t cpu_before = service.cpu_ns();
        const std::uint64_t sentences_before = sender.sentences();
        const std::uint64_t messages_before = drain.messages();
        const std::int64_t started = monotonic_ns();
        const std::int64_t end = started + static_cast<std::int64_t>(duration * 1e9);
        while (monotonic_ns() < end && service.running()) {
            sleep_until(std::min(end, monotonic_ns() + 200'000'000));
        }
        const bool survived = service.running();
        const double seconds = static_cast<double>(monotonic_ns() - started) / 1e9;
        const std::int64_t cpu_used = service.cpu_ns() - cpu_before;
        const std::uint64_t sentences = sender.sentences() - sentences_before;
        const std::uint64_t messages = drain.messages() - messages_before;
        const long peak_kib = service.peak_resident_kib();
        sender.stop();
        line.cancel();
        sending.join();
        const int code = service.stop();
        drain.stop();
        draining.join();

        const double cpu_seconds = static_cast<double>(cpu_used) / 1e9;
        std::printf("tarnwickd CPU per 1000 sentences, one client draining the data stream\n");
        if (rate > 0) {
            std::printf("  %.1f epochs/s for %.0f s\n", rate, seconds);
        } else {
            std::printf("  epochs as fast as the line takes them, for %.1f s\n", seconds);
        }
        std::printf("  the client drained at %s priority, %d us after each signal\n",
                    drain.raised() ? "real-time (SCHED_FIFO)" : "normal", batching_us);
        std::printf(
            "  %llu sentences written (%.0f/s), %llu messages drained (%.0f/s)\n",
            static_cast<unsigned long long>(sentences), static_cast<double>(sentences) / seconds,
            static_cast<unsigned long long>(messages), static_cast<double>(messages) / seconds);
        if (!survived) {
            std::printf(
                "  tarnwickd STOPPED during the window (exit code %d): the client did not "
                "keep up and the data stream overflowed; this rate is not sustained\n",
                code);
        } else if (cpu_used >= 0 && sentences > 0) {
            std::printf("  CPU %.4f s = %.5f s (%.3f ms) per 1000 sentences\n", cpu_seconds,
                        cpu_seconds * 1000 / static_cast<double>(sentences),
                        cpu_seconds * 1e6 / static_cast<double>(sentences));
            std::printf("  peak resident set (VmHWM) %ld KiB\n", peak_kib);
        }
        return survived && code == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "service_cpu_bench: %s\n", error.what());
        return 1;
    }
}
