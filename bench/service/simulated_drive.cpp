#include "bench/service/simulated_drive.h"

#include <algorithm>

#include "tools/tarnwick-sim/nmea_sentences.h"
#include "tools/tarnwick-sim/scenario.h"

namespace tarnwick::bench {
namespace {

constexpr int drive_epochs = 600;

}  // namespace

Epochs simulated_drive(int satellites_in_view) {
    Epochs drive;
    sim::ScenarioOptions options;
    options.max_in_view = satellites_in_view;
    sim::Scenario scenario{options};
    for (int i = 0; i < drive_epochs; ++i) {
        std::string text;
        sim::append_epoch_sentences(text, scenario.next_epoch());
        drive.sentences.push_back(static_cast<int>(std::count(text.begin(), text.end(), '\n')));
        drive.texts.push_back(std::move(text));
    }
    return drive;
}

}  // namespace tarnwick::bench
