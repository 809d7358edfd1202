// Captures of multi-system receivers decoded in the GNSS mode: every RMC and GGA with a good
// checksum is delivered, and every GSV set carries satellites of its talker's system.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "nmea/parser.h"
#include "nmea/satellite_system.h"
#include "tests/nmea/nmea_test_support.h"
#include "tests/support/test_support.h"

namespace tarnwick::test {
namespace {

using nmea::SatelliteSystem;

constexpr const char* multi_system_captures[] = {
    "neo-m8n.log",   "quectelLC79D-1.log",    "ublox-zed-f9t-ubx_nmea_l5.log",
    "beidou-bd.log", "quectel-l76k-nmea.log", "sirfstarv-nmea.log",
};

// The checksum of the text between "$" and "*" against its two digits, computed apart from
// the parser.
bool checksum_holds(const std::string& sentence) {
    const std::size_t star = sentence.find('*');
    if (sentence.size() < 2 || sentence[0] != '$' || star == std::string::npos ||
        star + 3 > sentence.size()) {
        return false;
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) {
        sum ^= static_cast<unsigned char>(sentence[i]);
    }
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    return sentence.compare(star + 1, 2, digits) == 0;
}

SatelliteSystem system_of_talker(const std::string& sentence) {
    const std::string talker = sentence.substr(1, 2);
    if (talker == "GL") {
        return SatelliteSystem::glonass;
    }
    if (talker == "GA") {
        return SatelliteSystem::galileo;
    }
    if (talker == "GB" || talker == "BD") {
        return SatelliteSystem::beidou;
    }
    return SatelliteSystem::gps;
}

class Deliveries final : public CNMEAListener {
  public:
    void on_message(int id, CNMEARecord* record) override {
        ++count[id];
        if (id != static_cast<int>(NMEAMessageId::GSV)) {
            return;
        }
        const auto& gsv = *static_cast<CGSVRecord*>(record);
        for (int i = 0; i < gsv.count && i < CGSVRecord::capacity; ++i) {
            const CGSVSatellite& s = gsv.satellites[i];
            EXPECT_EQ(s.tag >> 4, static_cast<int>(expected_system))
                << "PRN " << int{s.prn} << " of " << current;
            systems.insert(static_cast<SatelliteSystem>(s.tag >> 4));
        }
    }
    void set_state(int) override {}

    std::map<int, int> count;
    std::set<SatelliteSystem> systems;
    SatelliteSystem expected_system = SatelliteSystem::unknown;
    std::string current;
};

TEST(GnssCorpus, EveryFixIsDeliveredAndEverySatelliteHasItsSystem) {
    TARNWICK_REQUIRE_CORPUS();
    for (const char* name : multi_system_captures) {
        const std::filesystem::path file = corpus_dir() / name;
        if (!std::filesystem::exists(file)) {
            continue;
        }
        SCOPED_TRACE(name);
        CNMEAParser parser(NMEAMode::gnss);
        Deliveries deliveries;
        int fixes = 0;
        std::set<SatelliteSystem> systems_in_view;
        for (const std::string& sentence : sentences_of(read_file(file))) {
            const bool sound = checksum_holds(sentence) && sentence.size() > 6;
            const std::string type = sound ? sentence.substr(3, 3) : "";
            if (type == "RMC" || type == "GGA") {
                ++fixes;
            }
            if (type == "GSV") {
                systems_in_view.insert(system_of_talker(sentence));
            }
            deliveries.expected_system = sound ? system_of_talker(sentence) : SatelliteSystem{};
            deliveries.current = sentence;
            std::vector<char> line(sentence.begin(), sentence.end());
            parser.parse(line.data(), line.data() + line.size(), &deliveries);
        }
        EXPECT_GT(fixes, 0);
        EXPECT_EQ(deliveries.count[0] + deliveries.count[4], fixes);
        EXPECT_GT(deliveries.count[3], 0);
        EXPECT_EQ(deliveries.systems, systems_in_view);
    }
}

}  // namespace
}  // namespace tarnwick::test
