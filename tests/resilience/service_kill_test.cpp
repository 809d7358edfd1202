// The service killed with SIGKILL at random moments while a simulated receiver streams: every
// restart must succeed, answer requests and serve a valid fix that a run before the kill saved.
// Each run connects and restarts the receiver warm, so that its fix is lost for a moment and
// found again: the store saves at both turns, and kills land before, between and during saves.

#include <signal.h>

#include <cstdio>
#include <optional>
#include <random>
#include <thread>
#include <tuple>

#include "client/request_batch.h"
#include "platform/namespace.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/resilience/resilience_support.h"
#include "tests/server/service_process.h"
#include "tests/server/service_session.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {
namespace {

using client::RequestBatch;
using FixMoment = std::tuple<int, int, int, int, int, float>;

constexpr int kills = 50;

FixMoment moment_of(const client::RMC& fix) {
    return {fix.year, fix.month, fix.day, fix.time.hour, fix.time.minute, fix.time.second};
}

// What a stored fix cut short or mixed from two records would hardly pass.
void expect_whole(const client::RMC& fix) {
    EXPECT_EQ(fix.status, 'A');
    EXPECT_TRUE(fix.month >= 1 && fix.month <= 12 && fix.day >= 1 && fix.day <= 31);
    EXPECT_LT(fix.time.hour, 24);
    EXPECT_TRUE(fix.position.lat_hemi == 'N' || fix.position.lat_hemi == 'S');
    EXPECT_TRUE(fix.position.lon_hemi == 'E' || fix.position.lon_hemi == 'W');
    EXPECT_LE(fix.position.lat_deg, 90);
    EXPECT_LE(fix.position.lon_deg, 180);
}

using ServiceKillTest = PrivateNamespace;

TEST_F(ServiceKillTest, EveryRestartAfterAKillAnswersAndServesAFixSavedBeforeIt) {
    SimProcess receiver({"serial", "--name", "COM1:", "--rate", "10", "--restart-silence", "0",
                         "--warm-ttff", "0.3"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM1: ")) << receiver.log();
    const std::filesystem::path stored = platform::state_directory() / "curr_valid.rmc";
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> kill_after_ms(0, 700);

    std::optional<FixMoment> served_before;
    int advanced = 0;
    const int runs = scaled(kills);
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        ServiceProcess service;
        ASSERT_TRUE(service.wait_ready()) << "the restart after a kill must succeed";
        {
            ServiceSession session;
            const client::Answer fix = session.ask(RequestBatch().get_valid_rmc(), 20s);
            ASSERT_EQ(fix.code, 1014) << "no answer";
            if (run == 0) {
                EXPECT_EQ(fix.result, 0) << "nothing stored yet";
            } else {
                ASSERT_EQ(fix.result, 1) << "the fix saved in the first run is gone";
                expect_whole(*fix.fix);
                const FixMoment served = moment_of(*fix.fix);
                if (served_before) {
                    EXPECT_GE(served, *served_before) << "a kill took the stored fix back";
                    advanced += served > *served_before ? 1 : 0;
                }
                served_before = served;
            }
            // Every fifth run dies while it starts up instead.
            if (run % 5 != 4) {
                ASSERT_EQ(session.ask(RequestBatch().connect_port(L"COM1:", 4800), 20s).result, 1);
                ASSERT_EQ(session.ask(RequestBatch().restart_receiver(false), 20s).result, 1);
            }
            if (run == 0) {
                ASSERT_TRUE(eventually([&] { return std::filesystem::exists(stored); }, 20s));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kill_after_ms(random)));
        service.signal(SIGKILL);
        ASSERT_EQ(service.wait(), -SIGKILL);
    }
    std::printf("service kills: %d runs, the stored fix advanced between %d of them\n", runs,
                advanced);
    if (runs >= 10) {
        EXPECT_GT(advanced, 0) << "no run saved a newer fix before its kill";
    }
}

}  // namespace
}  // namespace tarnwick::test
