// A state directory the service cannot write (made read-only; a tiny file system to fill up
// needs a mount, which a test cannot make without privileges). The service must keep serving
// requests and the data stream; saving the fix fails quietly: the files already there stay as
// they were, whole, and the fix served is the newest one it holds in memory.

#include <signal.h>
#include <sys/stat.h>

#include <map>
#include <tuple>

#include "client/request_batch.h"
#include "client/service_launcher.h"
#include "platform/namespace.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/resilience/resilience_support.h"
#include "tests/server/service_fixture.h"
#include "tests/server/service_process.h"
#include "tests/server/service_session.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {
namespace {

using client::RequestBatch;
using FixMoment = std::tuple<int, int, int, int, int, float>;
using DirectoryContents = std::map<std::string, std::string>;

FixMoment moment_of(const client::RMC& fix) {
    return {fix.year, fix.month, fix.day, fix.time.hour, fix.time.minute, fix.time.second};
}

DirectoryContents contents_of(const std::filesystem::path& directory) {
    DirectoryContents contents;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        contents[entry.path().filename().string()] = read_file(entry.path());
    }
    return contents;
}

class StateDirFaultTest : public PrivateNamespace, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        PrivateNamespace::SetUp();
        // Without a fix the receiver's restart makes the store save twice in a second.
        receiver_ = std::make_unique<SimProcess>(
            std::vector<std::string>{"serial", "--name", "COM1:", "--rate", "10",
                                     "--restart-silence", "0", "--warm-ttff", "0.3"});
        ASSERT_TRUE(receiver_->first_line().starts_with("COM1: ")) << receiver_->log();
        state_ = platform::state_directory();
    }
    void TearDown() override {
        std::filesystem::permissions(state_, std::filesystem::perms::owner_all);
        receiver_.reset();
        PrivateNamespace::TearDown();
    }

    // A service that runs until it has saved a fix, and quits.
    void save_a_fix() {
        ServiceProcess service;
        ASSERT_TRUE(service.wait_ready());
        ServiceSession session;
        ASSERT_EQ(session.ask(RequestBatch().connect_port(L"COM1:", 4800)).result, 1);
        ASSERT_TRUE(
            eventually([&] { return std::filesystem::exists(state_ / "curr_valid.rmc"); }, 20s));
        session.call(RequestBatch().quit());
        ASSERT_EQ(service.wait(), 0);
    }

    std::filesystem::path state_;
    std::unique_ptr<SimProcess> receiver_;
};

TEST_P(StateDirFaultTest, ServiceKeepsServingAndLeavesTheStoredFixAlone) {
    const bool fix_stored = GetParam();
    if (fix_stored) {
        save_a_fix();
    }
    const DirectoryContents before = contents_of(state_);
    ASSERT_EQ(before.empty(), !fix_stored);
    ASSERT_EQ(chmod(state_.c_str(), 0500), 0);

    const auto service = without_dac_override(service_program().string(), {});
    ASSERT_TRUE(eventually([] { return client::service_running(); }, 20s));
    ServiceSession session;
    const client::Answer loaded = session.ask(RequestBatch().get_valid_rmc());
    EXPECT_EQ(loaded.result, fix_stored ? 1 : 0);
    ASSERT_EQ(session.ask(RequestBatch().connect_port(L"COM1:", 4800)).result, 1);
    // Fix lost and found again: two saves that cannot be written.
    ASSERT_EQ(session.ask(RequestBatch().restart_receiver(false)).result, 1);
    session.watch_for(1500ms);
    EXPECT_GT(session.count(rmc_id), 5) << "the data stream flows";
    EXPECT_TRUE(session.stream_intact());

    const client::Answer newest = session.ask(RequestBatch().get_valid_rmc());
    ASSERT_EQ(newest.result, 1);
    if (fix_stored) {
        EXPECT_GT(moment_of(*newest.fix), moment_of(*loaded.fix)) << "the fix held in memory";
    }
    EXPECT_EQ(session.ask(RequestBatch().get_input_mode()).result, 1);
    EXPECT_EQ(contents_of(state_), before) << "a failed save touched the stored files";

    // Stopping tries a last save, which fails as quietly.
    session.call(RequestBatch().quit());
    EXPECT_EQ(service->wait(), 0);
    EXPECT_EQ(contents_of(state_), before);
}

INSTANTIATE_TEST_SUITE_P(ReadOnly, StateDirFaultTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) {
                             return param_info.param ? std::string("WithStoredFix")
                                                     : std::string("Empty");
                         });

}  // namespace
}  // namespace tarnwick::test
