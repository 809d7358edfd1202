// A multi-system receiver (tarnwick-sim --gnss at 115200 baud) against a real tarnwickd: refused
// with the gnss setting off, found by a scan and by connect-port with it on, its fixes and the
// satellites of every system reaching `tarnwick watch --format json` and a libtarnwick client.

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "client/client.h"
#include "client/records.h"
#include "client/watcher.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_process.h"
#include "tests/support/test_support.h"
#include "tests/tools/sim_process.h"
#include "tests/tools/tarnwick_runner.h"

namespace tarnwick::test {
namespace {

using client::ClientError;
using GnssSession = PrivateNamespace;

const std::set<std::string> four_systems = {"GPS", "GLONASS", "Galileo", "BeiDou"};

// Reads messages until a fix and satellites of all four systems came, with the systems of the
// GSA slots; false when they did not within a few seconds.
void expect_every_system_through_the_library() {
    client::ClientOptions options;
    options.may_start = false;
    std::unique_ptr<client::Client> client;
    ASSERT_EQ(client::Client::open(options, client), ClientError::none);
    std::unique_ptr<client::Watcher> watcher;
    ASSERT_EQ(client::Watcher::open(*client, watcher), ClientError::none);
    std::set<int> gsv_systems;
    std::set<int> used_systems;
    int fixes = 0;
    bool gsa_follows_its_systems = true;
    int previous_id = -1;
    for (int i = 0; i < 400 && (gsv_systems.size() < 4 || used_systems.size() < 4 || fixes == 0);
         ++i) {
        client::StreamMessage message;
        std::uint64_t lost = 0;
        ASSERT_EQ(watcher->next(std::chrono::seconds(10), message, lost), ClientError::none);
        if (message.id == 4) {
            ++fixes;
        } else if (message.id == 3) {
            for (const client::Satellite& s : std::get<client::GSV>(*message.record).satellites) {
                if (s.prn != TARNWICK_EMPTY) {
                    gsv_systems.insert(s.tag >> 4);
                }
            }
        } else if (message.id == 9) {
            for (const std::uint8_t system : std::get<client::GSASystems>(*message.record).system) {
                if (system != 0) {
                    used_systems.insert(system);
                }
            }
        } else if (message.id == 2) {
            gsa_follows_its_systems = gsa_follows_its_systems && previous_id == 9;
        }
        previous_id = message.id;
    }
    EXPECT_GT(fixes, 0);
    EXPECT_EQ(gsv_systems, (std::set<int>{1, 2, 3, 4}));
    EXPECT_EQ(used_systems, (std::set<int>{1, 2, 3, 4}));
    EXPECT_TRUE(gsa_follows_its_systems);
}

TEST_F(GnssSession, AMultiSystemReceiverAt115200WithTheSettingOnAndOff) {
    ServiceProcess service;
    ASSERT_TRUE(service.wait_ready());
    SimProcess receiver({"serial", "--name", "COM3:", "--baud", "115200", "--gnss", "--rate", "5"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM3: ")) << receiver.log();

    // Off: refused as always, and the setting named as the likely cause.
    const ToolRun refused = tarnwick({"connect-port", "COM3:", "115200"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("tarnwick config gnss on"), std::string::npos) << refused.err;

    const ToolRun on = tarnwick({"config", "gnss", "on"});
    ASSERT_EQ(on.exit_code, 0) << on.err;
    EXPECT_NE(tarnwick({"config"}).out.find("gnss  on"), std::string::npos);

    // The scan tries 115200 after the five rates of old, and finds the receiver there.
    const ToolRun scan = tarnwick({"connect", "--parallel", "--json"});
    ASSERT_EQ(scan.exit_code, 0) << scan.err;
    const auto found = nlohmann::json::parse(scan.out)["found"];
    ASSERT_EQ(found.size(), 1U) << scan.out;
    EXPECT_EQ(found[0]["port"], "COM3:");
    EXPECT_EQ(found[0]["rates"], nlohmann::json::array({115200}));

    const ToolRun connected = tarnwick({"connect-port", "COM3:", "115200"});
    ASSERT_EQ(connected.exit_code, 0) << connected.err;

    const ToolRun watch = tarnwick({"watch", "--count", "60", "--format", "json"});
    ASSERT_EQ(watch.exit_code, 0) << watch.err;
    std::set<std::string> systems;
    std::map<std::string, int> types;
    std::istringstream lines(watch.out);
    for (std::string line; std::getline(lines, line);) {
        const auto message = nlohmann::json::parse(line);
        if (message["type"].is_string()) {
            ++types[message["type"].get<std::string>()];
        }
        if (message["id"] == 3) {
            for (const auto& satellite : message["satellites"]) {
                if (satellite.contains("system")) {
                    systems.insert(satellite["system"].get<std::string>());
                }
            }
        }
    }
    EXPECT_EQ(systems, four_systems) << watch.out;
    EXPECT_GT(types["RMC"] + types["GGA"], 0) << watch.out;
    EXPECT_GT(types["GSASYS"], 0) << watch.out;

    expect_every_system_through_the_library();

    // Off again: the same receiver is refused as before, once its input is opened anew.
    ASSERT_EQ(tarnwick({"config", "gnss", "off"}).exit_code, 0);
    ASSERT_EQ(tarnwick({"disconnect"}).exit_code, 0);
    const ToolRun refused_again = tarnwick({"connect-port", "COM3:", "115200"});
    EXPECT_EQ(refused_again.exit_code, 1);
    EXPECT_NE(refused_again.err.find("tarnwick config gnss on"), std::string::npos);

    EXPECT_EQ(tarnwick({"quit"}).exit_code, 0);
    EXPECT_EQ(service.wait(), 0);
}

}  // namespace
}  // namespace tarnwick::test
