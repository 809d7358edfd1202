#include "tools/tarnwick-sim/serial_receiver.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "tools/tarnwick-sim/line_noise.h"
#include "tools/tarnwick-sim/nmea_sentences.h"

namespace tarnwick::sim {
namespace {

using Clock = EpochClock::Clock;

void log_line(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace

SerialReceiver::SerialReceiver(const SerialOptions& options, PseudoTerminal& line,
                               PortBinding& binding)
    : options_(options),
      line_(line),
      binding_(binding),
      clock_(options.live.rate),
      scenario_(live_scenario(options.live)),
      commands_(options.settings, options.knows_porzx),
      noise_(options.live.seed ^ 0x6e015eULL),
      restarting_until_(Clock::now()) {}

int SerialReceiver::run(platform::StopSignals& stops) {
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (clock_.reached(options_.live.duration, now)) {
            return 0;
        }
        if (clock_.reached(options_.vanish_after, now)) {
            line_.close();
            binding_.release();
            log_line("vanished: the line is closed");
            return 0;
        }
        if (now >= clock_.next_epoch_at()) {
            send_epoch(now);
            continue;
        }
        Clock::time_point wake = clock_.next_epoch_at();
        for (const double moment : {options_.live.duration, options_.vanish_after}) {
            if (moment > 0.0) {
                wake = std::min(wake, clock_.at(moment));
            }
        }
        pollfd watched[2] = {{stops.fd(), POLLIN, 0}, {line_.master_fd(), POLLIN, 0}};
        const int ready = poll(watched, 2, milliseconds_until(wake, now));
        if (ready < 0 && errno != EINTR) {
            return 1;
        }
        if ((watched[0].revents & POLLIN) != 0 && stops.arrived()) {
            return 0;
        }
        if ((watched[1].revents & POLLIN) != 0) {
            serve_commands(Clock::now());
        } else if ((watched[1].revents & (POLLHUP | POLLERR)) != 0) {
            // Not expected while the simulator holds the slave open; sleeping until the next
            // moment keeps a broken line from spinning the loop.
            poll(watched, 1, milliseconds_until(wake, Clock::now()));
        }
    }
}

void SerialReceiver::send_epoch(Clock::time_point now) {
    const Epoch epoch = scenario_.next_epoch();
    clock_.epoch_taken();
    // The drive goes on while the receiver is silent; only the sending stops.
    if (clock_.reached(options_.live.silent_after, now) || now < restarting_until_) {
        return;
    }
    std::string sentences;
    append_epoch_sentences(sentences, epoch,
                           options_.live.gnss ? SentenceSet::gnss : SentenceSet::gps);
    transmit(sentences);
}

void SerialReceiver::serve_commands(Clock::time_point now) {
    char bytes[512];
    const std::size_t got = line_.receive(bytes, sizeof bytes);
    if (got == 0) {
        return;
    }
    const std::uint32_t heard = line_.line_rate();
    if (heard != options_.baud) {
        char note[96];
        std::snprintf(note, sizeof note, "garbled: %zu bytes sent at %u baud, receiver at %u", got,
                      heard, options_.baud);
        log_line(note);
        return;
    }
    for (const CommandEffect& effect : commands_.feed(bytes, got, busy(now))) {
        log_line(effect.log);
        if (!effect.reply.empty()) {
            transmit(effect.reply);
        }
        if (effect.restart != RestartKind::none) {
            restart(effect.restart, now);
        }
    }
}

void SerialReceiver::restart(RestartKind kind, Clock::time_point now) {
    restarting_until_ = now + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(options_.restart_silence));
    const double searching = kind == RestartKind::cold   ? options_.cold_ttff
                             : kind == RestartKind::warm ? options_.warm_ttff
                                                         : options_.restart_silence;
    scenario_.lose_fix_for(static_cast<int>(std::ceil(searching * options_.live.rate)));
}

const char* SerialReceiver::busy(Clock::time_point now) const {
    if (clock_.reached(options_.live.silent_after, now)) {
        return "silent, ignored";
    }
    if (now < restarting_until_) {
        return "restarting, ignored";
    }
    return nullptr;
}

void SerialReceiver::transmit(const std::string& bytes) {
    const std::uint32_t heard = line_.line_rate();
    if (heard == options_.baud) {
        line_.send(bytes);
    } else {
        line_.send(
            wrong_speed_noise(bytes, options_.baud, heard == 0 ? options_.baud : heard, noise_));
    }
}

}  // namespace tarnwick::sim
