#pragma once
// Epochs of the simulator's drive as a receiver sends them: the text of each epoch and how many
// sentences it holds.

#include <string>
#include <vector>

namespace tarnwick::bench {

struct Epochs {
    std::vector<std::string> texts;
    std::vector<int> sentences;
};

// Ten minutes of the drive (an outage without fix included), one epoch per second. At most eight
// satellites in view make a GSV set of two sentences: epochs of 7 sentences.
Epochs simulated_drive(int satellites_in_view);

}  // namespace tarnwick::bench
