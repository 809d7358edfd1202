// Stopping tarnwickd while a scan probes silent ports: Quit and SIGTERM end the process promptly
// (the probes give up at once), with the newest valid fix on disk; and while the scan runs,
// EnumPorts answers the ports it probes.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "client/answer.h"
#include "exchange/memory_stream.h"
#include "platform/namespace.h"
#include "tests/server/service_fixture.h"

namespace tarnwick::test {
namespace {

using client::RequestBatch;
using namespace std::chrono_literals;

Bytes stored_fix() {
    std::ifstream file(platform::state_directory() / "curr_valid.rmc", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct StopCase {
    const char* name;
    bool parallel;
    bool by_signal;
};

class ServiceStopTest : public ServiceTest, public ::testing::WithParamInterface<StopCase> {
  protected:
    // A replay leaves a valid fix in memory newer than the one on disk (the first of the
    // replay, saved at once; later ones wait for the minute's save). The fix comes back as the
    // service serves it: the record's bytes.
    Bytes replay_a_track() {
        const std::filesystem::path track = make_track(30);
        EXPECT_EQ(session().ask(RequestBatch().open_file(track.wstring(), false, 30.0f)).result, 1);
        EXPECT_TRUE(
            session().watch_until([&] { return session().count(input_ended_id) == 1; }, 30s));
        const std::optional<Bytes> fix = session().call(RequestBatch().get_valid_rmc().bytes());
        // The answer's code and result (1: a fix), then the record.
        constexpr std::size_t record_at = 8;
        EXPECT_TRUE(fix && fix->size() > record_at && (*fix)[4] == 1);
        return fix && fix->size() > record_at ? Bytes(fix->begin() + record_at, fix->end())
                                              : Bytes{};
    }

    // Waits until every bound port is being probed.
    bool probing(std::size_t ports) {
        return session().watch_until(
            [&] {
                std::size_t set_up = 0;
                for (const client::StreamMessage* event : messages_with(scan_event_id)) {
                    set_up += event->scan.code == SetupPort ? 1 : 0;
                }
                return set_up >= ports;
            },
            20s);
    }
};

TEST_P(ServiceStopTest, StopDuringAScanIsPromptAndSavesTheNewestFix) {
    // Receivers at 57600 only: the first rates a scan tries each wait out a probe's 5 s.
    const auto first = start_receiver("COM1:", {"--baud", "57600"});
    const auto second = start_receiver("COM2:", {"--baud", "57600"});
    start_service();
    const Bytes newest = replay_a_track();
    EXPECT_NE(stored_fix(), newest) << "the newest fix waits for a save";

    EXPECT_EQ(session().ask(RequestBatch().connect(GetParam().parallel)).result, 0);
    ASSERT_TRUE(probing(GetParam().parallel ? 2 : 1));
    // The list the scan probes, which stays as it is until the scan ends.
    const client::Answer listed = session().ask(RequestBatch().enum_ports());
    EXPECT_EQ(listed.result, static_cast<std::int32_t>(listed.ports.size()));
    for (const wchar_t* port : {L"COM1:", L"COM2:"}) {
        EXPECT_NE(std::find(listed.ports.begin(), listed.ports.end(), port), listed.ports.end())
            << "the machine's own ports are listed too, and the receivers' ports";
    }

    const auto asked = std::chrono::steady_clock::now();
    if (GetParam().by_signal) {
        service().signal(SIGTERM);
    } else {
        session().call(RequestBatch().quit(), 200ms);
    }
    EXPECT_EQ(service().wait(), 0);
    // A probe alone waits 5 s for a first sentence: ending within that shows it gave up.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 5s);
    EXPECT_EQ(stored_fix(), newest);
}

INSTANTIATE_TEST_SUITE_P(Stops, ServiceStopTest,
                         ::testing::Values(StopCase{"QuitDuringParallelScan", true, false},
                                           StopCase{"SigtermDuringSequentialScan", false, true}),
                         [](const ::testing::TestParamInfo<StopCase>& param_info) {
                             return std::string(param_info.param.name);
                         });

}  // namespace
}  // namespace tarnwick::test
