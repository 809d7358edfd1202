// The store of the last valid fix, with its files in a private namespace.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "fixstore/valid_rmc_holder.h"
#include "platform/namespace.h"
#include "tests/fixstore/fix_records.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono_literals;
using tarnwick::test::fix_record;
using tarnwick::test::read_file;
using tarnwick::test::serialized;
using tarnwick::test::write_file;

// Long enough that no periodic save happens during a test that does not ask for one.
constexpr float no_periodic_save = 600.0f;
constexpr float short_period = 0.2f;

class ValidRMCHolder : public testing::Test {
  protected:
    void SetUp() override {
        setenv("TARNWICK_HOME", home_.path().c_str(), 1);
        state_ = tarnwick::platform::state_directory();
        curr_ = state_ / "curr_valid.rmc";
        prev_ = state_ / "prev_valid.rmc";
    }

    // The id of the fix a file holds, nothing when it is absent.
    static std::optional<int> stored_id(const std::filesystem::path& file) {
        if (!std::filesystem::exists(file)) {
            return std::nullopt;
        }
        const std::string bytes = read_file(file);
        for (int id = 0; id < 100; ++id) {
            if (bytes == serialized(fix_record(id))) {
                return id;
            }
        }
        return -1;
    }

    // Waits until `file` holds fix `id`; the saves run on the holder's own thread.
    static bool eventually_holds(const std::filesystem::path& file, int id) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (stored_id(file) == id) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    static CRMCRecord served(CValidRMCHolder& holder) {
        CRMCRecord record;
        holder.get_rmc(record);
        return record;
    }

    tarnwick::test::TempDir home_;
    std::filesystem::path state_;
    std::filesystem::path curr_;
    std::filesystem::path prev_;
};

TEST_F(ValidRMCHolder, LoadsTheNewestCompleteValidFile) {
    const std::string good1 = serialized(fix_record(1));
    const std::string good2 = serialized(fix_record(2));
    const std::string invalid = serialized(fix_record(1, 'V'));
    struct Case {
        const char* what;
        std::optional<std::string> curr, prev;
        std::optional<int> served;  // nothing: no valid fix
        std::optional<int> curr_after, prev_after;
    };
    const Case cases[] = {
        {"both good", good1, good2, 1, 1, 2},
        {"only curr", good1, std::nullopt, 1, 1, std::nullopt},
        {"only prev", std::nullopt, good2, 2, 2, std::nullopt},
        {"short curr", good1.substr(0, 20), good2, 2, 2, std::nullopt},
        {"curr one byte short", good1.substr(0, 40), good2, 2, 2, std::nullopt},
        // An empty file cannot even be opened; it gives way to the previous one.
        {"empty curr", std::string(), good2, 2, 2, std::nullopt},
        {"curr not valid", invalid, good2, 2, 2, std::nullopt},
        {"zeroed curr", std::string(41, '\0'), good2, 2, 2, std::nullopt},
        {"both short", good1.substr(0, 7), good2.substr(0, 30), std::nullopt, std::nullopt,
         std::nullopt},
        {"both absent", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(curr_);
        std::filesystem::remove(prev_);
        if (c.curr) {
            write_file(curr_, *c.curr);
        }
        if (c.prev) {
            write_file(prev_, *c.prev);
        }
        {
            CValidRMCHolder holder(no_periodic_save);
            const CRMCRecord record = served(holder);
            if (c.served) {
                EXPECT_EQ(serialized(record), serialized(fix_record(*c.served)));
            } else {
                EXPECT_NE(record.status, 'A');
            }
        }
        // A loaded fix counts as saved: the holder writes nothing on its way out.
        EXPECT_EQ(stored_id(curr_), c.curr_after);
        EXPECT_EQ(stored_id(prev_), c.prev_after);
    }
}

TEST_F(ValidRMCHolder, SavesTheFirstValidFixAtOnceAndTheLastOneWhenTheFixIsLost) {
    CValidRMCHolder holder(no_periodic_save);
    holder.update_rmc(fix_record(5, 'V'));
    holder.update_rmc(fix_record(1));
    EXPECT_TRUE(eventually_holds(curr_, 1));

    holder.update_rmc(fix_record(2));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(stored_id(curr_), 1) << "no input runs: no periodic save";

    holder.update_rmc(fix_record(6, 'V'));
    EXPECT_TRUE(eventually_holds(curr_, 2));
    EXPECT_EQ(stored_id(prev_), 1);
    EXPECT_EQ(serialized(served(holder)), serialized(fix_record(2)))
        << "invalid records never replace the kept fix";
}

TEST_F(ValidRMCHolder, AFixLoadedFromThePreviousFileIsKeptAsPreviousByTheNextSave) {
    // What a save killed right after creating the current file leaves behind.
    write_file(curr_, "");
    write_file(prev_, serialized(fix_record(2)));
    {
        CValidRMCHolder holder(no_periodic_save);
        holder.update_rmc(fix_record(3));
    }
    EXPECT_EQ(stored_id(curr_), 3);
    EXPECT_EQ(stored_id(prev_), 2);
}

TEST_F(ValidRMCHolder, SavesThatCannotWriteTheCurrentFileNeverTouchThePreviousOne) {
    // Something that is not a record file stands in the current file's way.
    std::filesystem::create_directory(curr_);
    write_file(prev_, serialized(fix_record(2)));
    {
        CValidRMCHolder holder(short_period);
        EXPECT_EQ(serialized(served(holder)), serialized(fix_record(2)));
        InterlockedDecrement(&holder.save_gate);
        holder.update_rmc(fix_record(3));
        std::this_thread::sleep_for(500ms);  // a few failed periodic saves
    }
    EXPECT_EQ(stored_id(prev_), 2);
    CValidRMCHolder restarted(no_periodic_save);
    EXPECT_EQ(serialized(served(restarted)), serialized(fix_record(2)));
}

TEST_F(ValidRMCHolder, ACurrentFileThatCannotBeMovedAsideIsNeverRewrittenInPlace) {
    // The previous name is taken by something that cannot be deleted or replaced.
    std::filesystem::create_directories(prev_ / "occupied");
    write_file(curr_, serialized(fix_record(2)));
    {
        CValidRMCHolder holder(short_period);
        InterlockedDecrement(&holder.save_gate);
        holder.update_rmc(fix_record(3));
        std::this_thread::sleep_for(500ms);  // a few refused periodic saves, then the last one
    }
    EXPECT_EQ(stored_id(curr_), 2);
    CValidRMCHolder restarted(no_periodic_save);
    EXPECT_EQ(serialized(served(restarted)), serialized(fix_record(2)));
}

TEST_F(ValidRMCHolder, InvalidRecordsAloneWriteNothing) {
    {
        CValidRMCHolder holder(short_period);
        InterlockedDecrement(&holder.save_gate);
        for (int id = 0; id < 5; ++id) {
            holder.update_rmc(fix_record(id, 'V'));
        }
        std::this_thread::sleep_for(500ms);
        EXPECT_NE(served(holder).status, 'A');
    }
    EXPECT_FALSE(std::filesystem::exists(curr_));
    EXPECT_FALSE(std::filesystem::exists(prev_));
}

TEST_F(ValidRMCHolder, PeriodicSavesRunOnlyWhileTheGateIsOpen) {
    {
        CValidRMCHolder holder(short_period);
        holder.update_rmc(fix_record(1));
        ASSERT_TRUE(eventually_holds(curr_, 1));

        holder.update_rmc(fix_record(2));
        std::this_thread::sleep_for(700ms);
        EXPECT_EQ(stored_id(curr_), 1) << "gate closed";

        InterlockedDecrement(&holder.save_gate);  // an input started
        EXPECT_TRUE(eventually_holds(curr_, 2));
        EXPECT_EQ(stored_id(prev_), 1);
        holder.update_rmc(fix_record(3));
        EXPECT_TRUE(eventually_holds(curr_, 3));
        EXPECT_EQ(stored_id(prev_), 2);

        InterlockedIncrement(&holder.save_gate);  // the input ended
        holder.update_rmc(fix_record(4));
        std::this_thread::sleep_for(700ms);
        EXPECT_EQ(stored_id(curr_), 3) << "gate closed again";
    }
    // Shutting down saves the fix not yet on disk, whatever the gate.
    EXPECT_EQ(stored_id(curr_), 4);
    EXPECT_EQ(stored_id(prev_), 3);

    CValidRMCHolder restarted(no_periodic_save);
    EXPECT_EQ(serialized(served(restarted)), serialized(fix_record(4)));
}

}  // namespace
