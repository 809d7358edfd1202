#include "tools/tarnwick-sim/file_command.h"

#include <cstdio>
#include <memory>
#include <string>

#include "tools/common/atomic_file.h"
#include "tools/tarnwick-sim/nmea_sentences.h"
#include "tools/tarnwick-sim/scenario.h"

namespace tarnwick::sim {
namespace {

struct FileOptions {
    std::string out;
    int duration = 300;  // seconds, one epoch each
    ScenarioOptions scenario;
    bool gnss = false;
};

int write_sample_file(const FileOptions& options) {
    Scenario scenario(options.scenario);
    std::string text;
    for (int second = 0; second < options.duration; ++second) {
        append_epoch_sentences(text, scenario.next_epoch(),
                               options.gnss ? SentenceSet::gnss : SentenceSet::gps);
    }
    if (const std::error_code error = tools::write_file_atomically(options.out, text)) {
        std::fprintf(stderr, "tarnwick-sim: cannot write %s: %s\n", options.out.c_str(),
                     error.message().c_str());
        return 1;
    }
    return 0;
}

}  // namespace

void add_file_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<FileOptions>();
    CLI::App* command = app.add_subcommand(
        "file", "Write a simulated drive as an NMEA file (RMC, GGA, GSA, GSV, VTG, GLL at 1 Hz)");
    command->footer(R"(
The same options write the same file, byte for byte.

Examples:
  tarnwick-sim file data/sample-track.nmea     # the bundled sample, made again
  tarnwick-sim file short.nmea --duration 60 --outage-length 0
  tarnwick-sim file drive.nmea --seed 7 && tarnwick open-file drive.nmea --loop)");
    command->add_option("OUT", options->out, "File to write (replaced atomically)")->required();
    command->add_flag("--gnss", options->gnss,
                      "Write NMEA 0183 4.11 of a multi-system receiver: GN, GL, GA and GB "
                      "sentences, signal ids, 30 or more satellites in view");
    command->add_option("--duration", options->duration, "Seconds of driving, one epoch each")
        ->capture_default_str()
        ->check(CLI::Range(1, 86400));
    command->add_option("--seed", options->scenario.seed, "Seed of the drive")
        ->capture_default_str();
    command
        ->add_option("--outage-start", options->scenario.outage_start,
                     "Second at which the antenna is shaded and the fix is lost")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    command
        ->add_option("--outage-length", options->scenario.outage_length,
                     "Seconds without fix (0: none)")
        ->capture_default_str()
        ->check(CLI::Range(0, 86400));
    command
        ->add_option("--max-in-view", options->scenario.max_in_view,
                     "Satellites a GSV set reports at most")
        ->capture_default_str()
        ->check(CLI::Range(0, 16));
    command->callback([options, &exit_code] { exit_code = write_sample_file(*options); });
}

}  // namespace tarnwick::sim
