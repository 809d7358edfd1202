// The simulated drive and `tarnwick-sim file`, which makes the bundled sample.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "nmea/parser.h"
#include "tests/support/test_support.h"
#include "tests/tools/tool_runner.h"
#include "tools/tarnwick-sim/nmea_sentences.h"
#include "tools/tarnwick-sim/scenario.h"

namespace tarnwick::test {
namespace {

std::vector<std::string> sentences_of(const std::string& text) {
    std::vector<std::string> sentences;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
        sentences.push_back(text.substr(from, end - from));
    }
    EXPECT_EQ(from, text.size()) << "text after the last CR LF";
    return sentences;
}

std::string type_of(const std::string& sentence) {
    return sentence.substr(1, 5);
}

std::vector<std::string> fields_of(const std::string& sentence) {
    std::vector<std::string> fields;
    std::istringstream in(sentence.substr(0, sentence.find('*')));
    for (std::string field; std::getline(in, field, ',');) {
        fields.push_back(field);
    }
    return fields;
}

bool checksum_is_valid(const std::string& sentence) {
    const std::size_t star = sentence.find('*');
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) {
        sum ^= static_cast<unsigned char>(sentence[i]);
    }
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", sum);
    return star != std::string::npos && sentence.substr(star + 1) == expected;
}

// The epochs of a drive, each as its list of sentences.
std::vector<std::vector<std::string>> drive(const sim::ScenarioOptions& options, int seconds) {
    sim::Scenario scenario(options);
    std::vector<std::vector<std::string>> epochs;
    for (int i = 0; i < seconds; ++i) {
        std::string text;
        sim::append_epoch_sentences(text, scenario.next_epoch());
        epochs.push_back(sentences_of(text));
    }
    return epochs;
}

TEST(SimulatedDrive, EveryEpochIsAFullReceiverSecondWithValidChecksums) {
    const auto epochs = drive({}, 300);
    for (const auto& epoch : epochs) {
        ASSERT_GE(epoch.size(), 8u);
        std::vector<std::string> types;
        for (const std::string& sentence : epoch) {
            ASSERT_TRUE(checksum_is_valid(sentence)) << sentence;
            types.push_back(type_of(sentence));
        }
        const std::size_t gsv = epoch.size() - 5;
        EXPECT_TRUE(gsv == 3 || gsv == 4) << epoch[3];
        std::vector<std::string> expected = {"GPRMC", "GPGGA", "GPGSA"};
        expected.insert(expected.end(), gsv, "GPGSV");
        expected.insert(expected.end(), {"GPVTG", "GPGLL"});
        ASSERT_EQ(types, expected);
        const int in_view = std::stoi(fields_of(epoch[3])[3]);
        EXPECT_GE(in_view, 10);
        EXPECT_LE(in_view, 14);
    }
}

TEST(SimulatedDrive, TheVehicleMovesChangesSpeedAndLosesItsFixForAWhile) {
    sim::ScenarioOptions options;
    options.outage_start = 100;
    options.outage_length = 20;
    const auto epochs = drive(options, 240);
    int without_fix = 0;
    double lowest_speed = 1e9, highest_speed = 0;
    std::vector<std::string> courses;
    for (std::size_t second = 0; second < epochs.size(); ++second) {
        const std::vector<std::string> rmc = fields_of(epochs[second][0]);
        const std::vector<std::string> gga = fields_of(epochs[second][1]);
        const std::vector<std::string> gsa = fields_of(epochs[second][2]);
        const bool shaded = second >= 100 && second < 120;
        EXPECT_EQ(rmc[2], shaded ? "V" : "A") << second;
        EXPECT_EQ(gga[6], shaded ? "0" : "1") << second;
        EXPECT_EQ(gsa[2], shaded ? "1" : "3") << second;
        if (shaded) {
            ++without_fix;
            continue;
        }
        const double speed = std::stod(rmc[7]);
        lowest_speed = std::min(lowest_speed, speed);
        highest_speed = std::max(highest_speed, speed);
        courses.push_back(rmc[8]);
    }
    EXPECT_EQ(without_fix, 20);
    EXPECT_LT(lowest_speed, 1.0);
    EXPECT_GT(highest_speed, 20.0);
    std::sort(courses.begin(), courses.end());
    EXPECT_GT(std::unique(courses.begin(), courses.end()) - courses.begin(), 20) << "it turns";
}

TEST(SimulatedDrive, TheSeedDecidesTheDrive) {
    sim::ScenarioOptions other;
    other.seed = 2;
    EXPECT_EQ(drive({}, 60), drive({}, 60));
    EXPECT_NE(drive({}, 60), drive(other, 60));
}

TEST(SimFileCommand, RegeneratesTheBundledSampleByteForByte) {
    TempDir dir;
    const auto out = dir.path() / "track.nmea";
    const ToolRun run =
        run_tool(built_program("tools/tarnwick-sim/tarnwick-sim"), {"file", out.string()});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::string sample =
        read_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "data/sample-track.nmea");
    EXPECT_TRUE(read_file(out) == sample)
        << "data/sample-track.nmea is not what the generator makes";
    EXPECT_LT(sample.size(), 300u * 1024);
}

TEST(SimFileCommand, AFailedWriteLeavesNothingBehind) {
    TempDir dir;
    const auto occupied = dir.path() / "occupied";
    std::filesystem::create_directory(occupied);
    const ToolRun run = run_tool(built_program("tools/tarnwick-sim/tarnwick-sim"),
                                 {"file", occupied.string(), "--duration", "5"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}

// The multi-system receiver: every sentence decodes in the service's gnss mode, a fix and 30 or
// more satellites of four systems each epoch; the GPS mode refuses every sentence of another
// system's talker.
class GnssEpochListener final : public CNMEAListener {
  public:
    void on_message(int id, CNMEARecord* record) override {
        ++count[id];
        if (id == static_cast<int>(NMEAMessageId::GSV)) {
            for (const CGSVSatellite& s : static_cast<CGSVRecord*>(record)->satellites) {
                if (s.prn != CGSVSatellite::empty8) {
                    in_view.insert({s.tag >> 4, s.prn});
                    signals.insert(s.tag);
                }
            }
        }
    }
    void set_state(int) override {}
    std::map<int, int> count;
    std::set<std::pair<int, int>> in_view;
    std::set<int> signals;
};

TEST(SimulatedDrive, TheGnssReceiverSpeaksNmea411OfFourSystems) {
    sim::Scenario scenario({});
    for (int second = 0; second < 120; ++second) {
        std::string text;
        sim::append_epoch_sentences(text, scenario.next_epoch(), sim::SentenceSet::gnss);
        CNMEAParser gnss(NMEAMode::gnss);
        CNMEAParser gps;
        GnssEpochListener listener;
        std::set<std::string> talkers;
        for (std::string sentence : sentences_of(text)) {
            ASSERT_TRUE(checksum_is_valid(sentence)) << sentence;
            talkers.insert(sentence.substr(1, 2));
            std::string copy = sentence;
            EXPECT_TRUE(gnss.parse(sentence.data(), sentence.data() + sentence.size(), &listener))
                << copy;
            // The GPS mode refuses every other system's talker; GP sentences it reads as ever.
            if (sentence.compare(1, 2, "GP") != 0) {
                EXPECT_FALSE(gps.parse(copy.data(), copy.data() + copy.size(), nullptr)) << copy;
            }
        }
        EXPECT_EQ(talkers, (std::set<std::string>{"GN", "GP", "GL", "GA", "GB"}));
        EXPECT_EQ(listener.count[4], 1);
        EXPECT_EQ(listener.count[0], 1);
        EXPECT_EQ(listener.count[2], 4);
        EXPECT_EQ(listener.count[9], 4);
        EXPECT_EQ(listener.count[3], 8);  // one set per system and signal
        EXPECT_GE(listener.in_view.size(), 30u);
        std::set<int> systems;
        for (const auto& [system, prn] : listener.in_view) {
            systems.insert(system);
        }
        EXPECT_EQ(systems, (std::set<int>{1, 2, 3, 4}));
        EXPECT_EQ(listener.signals.size(), 8u);
    }
}

}  // namespace
}  // namespace tarnwick::test
