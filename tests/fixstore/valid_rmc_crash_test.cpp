// A process that saves valid fixes without pause is killed with SIGKILL at random moments; every
// start after a kill must find a whole valid fix that an earlier run handed to its store.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/spawned_process.h"
#include "tests/support/test_support.h"

namespace {

using tarnwick::test::SpawnedProcess;

constexpr int runs = 80;
// Ids of run r start at r * ids_per_run, so a loaded id tells which run saved it.
constexpr int ids_per_run = 10000000;

struct Loaded {
    int id = 0;
    char status = '-';
    bool whole = false;
};

Loaded parse_loaded(const std::string& line) {
    std::istringstream in(line);
    std::string word;
    Loaded loaded;
    int whole = 0;
    in >> word >> loaded.id >> loaded.status >> whole;
    EXPECT_EQ(word, "loaded") << line;
    loaded.whole = whole == 1;
    return loaded;
}

TEST(ValidRMCCrash, EveryStartAfterAKillLoadsAValidFixSavedBeforeIt) {
    tarnwick::test::TempDir home;
    setenv("TARNWICK_HOME", home.path().c_str(), 1);
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> kill_after_us(0, 30000);

    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        SpawnedProcess saver(FIXSTORE_SAVER_PATH, {std::to_string(run * ids_per_run)});
        const Loaded loaded = parse_loaded(saver.read_line());
        if (run == 0) {
            EXPECT_NE(loaded.status, 'A') << "nothing stored yet";
        } else {
            ASSERT_EQ(loaded.status, 'A');
            EXPECT_TRUE(loaded.whole) << "loaded fix " << loaded.id << " is torn";
            const int saved_by = loaded.id / ids_per_run;
            EXPECT_LT(saved_by, run) << "loaded fix " << loaded.id << " was never handed over";
            EXPECT_GE(loaded.id, 0);
        }
        ASSERT_EQ(saver.read_line(), "saving");
        // The first run lives long enough to save; the others die at any moment.
        const int delay_us = run == 0 ? 200000 : kill_after_us(random);
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
        saver.kill(SIGKILL);
        ASSERT_EQ(saver.wait(), -SIGKILL);
    }
}

}  // namespace
