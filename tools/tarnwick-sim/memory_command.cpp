#include "tools/tarnwick-sim/memory_command.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <exception>
#include <memory>
#include <string>

#include "base/utf8.h"
#include "platform/stop_signals.h"
#include "tools/tarnwick-sim/epoch_clock.h"
#include "tools/tarnwick-sim/live_options.h"
#include "tools/tarnwick-sim/memory_producer.h"
#include "tools/tarnwick-sim/nmea_sentences.h"

namespace tarnwick::sim {
namespace {

using Clock = EpochClock::Clock;

constexpr const char* memory_footer = R"(
The first line on standard output is NAME, written once the three objects exist:
  NAME_DataReady_map    4096 bytes: uint32 size, int64 stamp (little-endian), size bytes of text
  NAME_DataGuard_mutex  held while a block is written
  NAME_DataReady_event  auto-reset, set after each block
The stamp counts the blocks from 1. Each epoch's sentences go out as one block, or, with
--block-size, as several blocks spread over the epoch's period, cutting sentences where the
size falls (a sentence continued in the next block). The service reads the producer after a
client's OpenMemory request with NAME.

Examples:
  # a demo: the service reads NMEA from the producer "gpsfeed"
  TARNWICK_HOME=/tmp/demo tarnwick-sim memory gpsfeed
  # a client's test: blocks of 100 bytes, five epochs a second, ending after 10 s
  TARNWICK_HOME=$TMP tarnwick-sim memory feed --block-size 100 --rate 5 --duration 10
  # a producer that crashes after 3 s, leaving its objects to the operating system
  tarnwick-sim memory feed --die-after 3)";

struct MemoryOptions {
    std::string name;
    LiveOptions live;
    std::size_t block_size = MemoryProducer::max_text;
    double die_after = 0.0;  // seconds; 0: never
};

struct PendingBlock {
    std::string text;
    Clock::time_point due;
};

// Cuts one epoch's text into blocks spread evenly over its period, the first one due now: the
// event is auto-reset and unacknowledged, so blocks set in quick succession would be lost.
void schedule_blocks(std::deque<PendingBlock>& pending, const std::string& text,
                     std::size_t block_size, double period, Clock::time_point now) {
    const std::size_t count = (text.size() + block_size - 1) / block_size;
    for (std::size_t i = 0; i < count; ++i) {
        const auto offset =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                period * static_cast<double>(i) / static_cast<double>(count)));
        pending.push_back({text.substr(i * block_size, block_size), now + offset});
    }
}

int produce(const MemoryOptions& options, MemoryProducer& producer, platform::StopSignals& stops) {
    EpochClock clock(options.live.rate);
    Scenario scenario(live_scenario(options.live));
    std::deque<PendingBlock> pending;
    std::int64_t stamp = 0;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (clock.reached(options.live.duration, now)) {
            return 0;
        }
        if (clock.reached(options.die_after, now)) {
            // A crash, not an exit: nothing is closed or unmapped by the producer itself.
            std::fflush(nullptr);
            kill(getpid(), SIGKILL);
        }
        if (now >= clock.next_epoch_at()) {
            const Epoch epoch = scenario.next_epoch();
            clock.epoch_taken();
            if (!clock.reached(options.live.silent_after, now)) {
                std::string text;
                append_epoch_sentences(text, epoch,
                                       options.live.gnss ? SentenceSet::gnss : SentenceSet::gps);
                schedule_blocks(pending, text, options.block_size, clock.period(), now);
            }
            continue;
        }
        if (!pending.empty() && pending.front().due <= now) {
            if (!producer.publish(pending.front().text, ++stamp)) {
                std::fprintf(stderr, "block %lld dropped: the guard mutex stayed taken\n",
                             static_cast<long long>(stamp));
            }
            pending.pop_front();
            continue;
        }
        Clock::time_point wake = clock.next_epoch_at();
        if (!pending.empty()) {
            wake = std::min(wake, pending.front().due);
        }
        for (const double moment : {options.live.duration, options.die_after}) {
            if (moment > 0.0) {
                wake = std::min(wake, clock.at(moment));
            }
        }
        pollfd watched{stops.fd(), POLLIN, 0};
        if (poll(&watched, 1, milliseconds_until(wake, now)) > 0 && stops.arrived()) {
            return 0;
        }
    }
}

int run_memory(const MemoryOptions& options) {
    try {
        platform::StopSignals stops({SIGINT, SIGTERM, SIGHUP});
        signal(SIGPIPE, SIG_IGN);
        MemoryProducer producer(tarnwick::from_utf8(options.name));
        std::printf("%s\n", options.name.c_str());
        std::fflush(stdout);
        return produce(options, producer, stops);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnwick-sim: %s\n", error.what());
        return 1;
    }
}

}  // namespace

void add_memory_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<MemoryOptions>();
    CLI::App* command = app.add_subcommand(
        "memory", "A producer publishing NMEA in named shared memory of the namespace");
    command->footer(memory_footer);
    command->add_option("NAME", options->name, "Base name of the objects (1 to 47 characters)")
        ->required()
        ->check([](const std::string& name) -> std::string {
            const std::size_t length = tarnwick::from_utf8(name).size();
            return length >= 1 && length <= MemoryProducer::max_name_length
                       ? std::string()
                       : "a base name has 1 to 47 characters";
        });
    add_live_options(*command, options->live);
    command
        ->add_option("--block-size", options->block_size,
                     "Text bytes per block at most; smaller than a sentence, it splits sentences "
                     "across blocks")
        ->capture_default_str()
        ->check(CLI::Range(std::size_t{1}, MemoryProducer::max_text));
    command
        ->add_option("--die-after", options->die_after,
                     "Die without any cleanup (SIGKILL) after this many seconds (0: never)")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 1e6));
    command->callback([options, &exit_code] { exit_code = run_memory(*options); });
}

}  // namespace tarnwick::sim
