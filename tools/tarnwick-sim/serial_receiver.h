#pragma once
// The receiver behind a pseudo-terminal: one epoch of sentences per period, understood only at
// its own line speed, answering the receiver commands it reads from the line.

#include <cstdint>

#include "platform/stop_signals.h"
#include "tools/tarnwick-sim/epoch_clock.h"
#include "tools/tarnwick-sim/live_options.h"
#include "tools/tarnwick-sim/port_binding.h"
#include "tools/tarnwick-sim/pseudo_terminal.h"
#include "tools/tarnwick-sim/receiver_commands.h"

namespace tarnwick::sim {

struct SerialOptions {
    std::string name;  // "COMn:"; empty: the first free name
    std::uint32_t baud = 4800;
    LiveOptions live;
    double vanish_after = 0.0;  // seconds until the line is closed; 0: never
    ReceiverSettings settings;
    bool knows_porzx = true;
    double restart_silence = 1.0;  // seconds without output after a restart
    double warm_ttff = 8.0;        // seconds from a warm restart to the first fix
    double cold_ttff = 30.0;       // seconds from a cold restart to the first fix
};

class SerialReceiver {
  public:
    SerialReceiver(const SerialOptions& options, PseudoTerminal& line, PortBinding& binding);

    // Runs until the duration ends, the line vanishes or a stop signal arrives; the exit code.
    int run(platform::StopSignals& stops);

  private:
    void send_epoch(EpochClock::Clock::time_point now);
    void serve_commands(EpochClock::Clock::time_point now);
    void restart(RestartKind kind, EpochClock::Clock::time_point now);
    // Why commands have no effect now, or null.
    const char* busy(EpochClock::Clock::time_point now) const;
    // What goes out on the line: the bytes themselves at the right speed, noise otherwise.
    void transmit(const std::string& bytes);

    const SerialOptions& options_;
    PseudoTerminal& line_;
    PortBinding& binding_;
    EpochClock clock_;
    Scenario scenario_;
    ReceiverCommands commands_;
    RandomSource noise_;
    EpochClock::Clock::time_point restarting_until_;
};

}  // namespace tarnwick::sim
