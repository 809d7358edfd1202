#pragma once
// What the live modes (serial port and shared memory) share: how often epochs come, when the
// fix is lost or the receiver falls silent, and when the simulation ends by itself.

#include <CLI/CLI.hpp>
#include <cstdint>

#include "tools/tarnwick-sim/scenario.h"

namespace tarnwick::sim {

struct LiveOptions {
    double rate = 1.0;          // epochs per second; each epoch is one simulated second
    double duration = 0.0;      // seconds until the simulator ends by itself; 0: never
    double no_fix_after = 0.0;  // seconds after the start...
    double no_fix_for = 0.0;    // ...the fix is lost for this long; 0: never
    double silent_after = 0.0;  // seconds until the receiver stops sending; 0: never
    std::uint64_t seed = 1;     // of the drive
    bool gnss = false;          // a multi-system receiver of NMEA 4.11 (nmea_sentences.h)
};

// Adds the options above to a mode's command.
void add_live_options(CLI::App& command, LiveOptions& options);

// The drive for these options: starting now, the outage converted from seconds to epochs.
ScenarioOptions live_scenario(const LiveOptions& options);

}  // namespace tarnwick::sim
