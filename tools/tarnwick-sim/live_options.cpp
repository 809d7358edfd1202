#include "tools/tarnwick-sim/live_options.h"

#include <chrono>
#include <cmath>

namespace tarnwick::sim {

void add_live_options(CLI::App& command, LiveOptions& options) {
    command
        .add_option("--rate", options.rate,
                    "Epochs per second; every epoch is one simulated second, so a rate above 1 "
                    "plays the drive faster than real time")
        ->capture_default_str()
        ->check(CLI::Range(0.1, 100.0));
    command
        .add_option("--duration", options.duration,
                    "End by itself after this many seconds (0: run until stopped)")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 1e6));
    command
        .add_option("--no-fix-after", options.no_fix_after,
                    "Seconds after the start at which the fix is lost (see --no-fix-for)")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 1e6));
    command
        .add_option("--no-fix-for", options.no_fix_for,
                    "Seconds without fix from --no-fix-after on (0: the fix is never lost)")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 1e6));
    command
        .add_option("--silent-after", options.silent_after,
                    "Stop sending after this many seconds, keeping the port or the objects open "
                    "(0: never)")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 1e6));
    command.add_option("--seed", options.seed, "Seed of the drive")->capture_default_str();
    command.add_flag("--gnss", options.gnss,
                     "Speak NMEA 0183 4.11 as a multi-system receiver: GN, GL, GA and GB "
                     "sentences, signal ids, 30 or more satellites in view (the service reads "
                     "them with `tarnwick config gnss on`)");
}

ScenarioOptions live_scenario(const LiveOptions& options) {
    ScenarioOptions scenario;
    scenario.seed = options.seed;
    scenario.start_time = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    scenario.outage_start = static_cast<int>(std::lround(options.no_fix_after * options.rate));
    scenario.outage_length = static_cast<int>(std::lround(options.no_fix_for * options.rate));
    return scenario;
}

}  // namespace tarnwick::sim
