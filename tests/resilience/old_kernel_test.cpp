// The service on a kernel without the calls it prefers or needs, made by a seccomp filter that
// answers ENOSYS: without futex_waitv (Linux before 5.16, user-mode emulators) it serves a whole
// session through the wake-up word; without what it cannot do without, or with a TARNWICK_WAIT it
// does not know, it refuses in one line on standard error and a non-zero exit.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "client/request_batch.h"
#include "client/service_launcher.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/resilience/resilience_support.h"
#include "tests/server/service_fixture.h"
#include "tests/server/service_process.h"
#include "tests/server/service_session.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;
using client::RequestBatch;

using OldKernel = PrivateNamespace;

TEST_F(OldKernel, WithoutFutexWaitvTheServiceServesAWatcherAndARequester) {
    SimProcess receiver({"serial", "--name", "COM1:", "--rate", "10"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM1: ")) << receiver.log();
    const auto service = without_syscalls("futex_waitv", service_program().string(), {});
    ASSERT_TRUE(eventually([] { return client::service_running(); }, 20s));
    ServiceSession session;
    ASSERT_EQ(session.ask(RequestBatch().connect_port(L"COM1:", 4800)).result, 1);
    session.watch_for(1500ms);
    EXPECT_GT(session.count(rmc_id), 5) << "the data stream flows";
    EXPECT_TRUE(session.stream_intact());
    EXPECT_EQ(session.ask(RequestBatch().get_input_mode()).result, 1);
    ASSERT_TRUE(
        eventually([&] { return session.ask(RequestBatch().get_valid_rmc()).result == 1; }, 20s));
    session.call(RequestBatch().quit());
    EXPECT_EQ(service->wait(), 0);
}

struct Refusal {
    const char* name;
    const char* denied_calls;  // empty: none
    const char* wait_way;      // TARNWICK_WAIT, or null for unset
    const char* debug;         // TARNWICK_DEBUG, or null for unset
    const char* reason;        // in the one line
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

const Refusal kRefusals[] = {
    {"NoFutex", "futex", nullptr, nullptr, "the kernel lacks futex"},
    {"NoFutexTraced", "futex", nullptr, "1", "the kernel lacks futex"},
    {"NoMemoryFiles", "memfd_create", nullptr, nullptr, "the kernel lacks memfd_create"},
    {"InsistedOnFutexWaitv", "futex_waitv", "futex_waitv", nullptr, "the kernel lacks futex_waitv"},
    {"UnknownWaitWay", "", "spin", "1", "TARNWICK_WAIT is neither futex nor futex_waitv"},
};

class ServiceRefusal : public OldKernel, public ::testing::WithParamInterface<Refusal> {
  protected:
    void TearDown() override {
        unsetenv("TARNWICK_WAIT");
        unsetenv("TARNWICK_DEBUG");
        OldKernel::TearDown();
    }
};

TEST_P(ServiceRefusal, SaysWhyInOneLineAndExitsNonZero) {
    const Refusal& refusal = GetParam();
    for (const auto& [variable, value] : {std::pair{"TARNWICK_WAIT", refusal.wait_way},
                                          std::pair{"TARNWICK_DEBUG", refusal.debug}}) {
        if (value != nullptr) {
            setenv(variable, value, 1);
        } else {
            unsetenv(variable);
        }
    }
    int exit_code = 0;
    const std::string said =
        stderr_of_without_syscalls(refusal.denied_calls, service_program().string(), &exit_code);
    EXPECT_EQ(exit_code, 255);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_TRUE(said.starts_with("tarnwickd: cannot run here: ")) << said;
    EXPECT_NE(said.find(refusal.reason), std::string::npos) << said;
    EXPECT_FALSE(start_event_exists());
}

INSTANTIATE_TEST_SUITE_P(Table, ServiceRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace tarnwick::test
