// Waiting on a shared counter beside handles: a counter that moved before the wait ends it at
// once, one that moves during the wait wakes it (also from another process), and handles keep
// their precedence.

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "platform/counter_wait.h"
#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/platform_helper_process.h"

namespace tarnwick::test {
namespace {

using platform::advance_counter;
using platform::counter_value;
using platform::SharedCounter;
using platform::wait_for_objects_or_counter;

TEST(CounterWait, EndsAtOnceForACounterThatMovedAndForASignalledHandle) {
    SharedCounter counter{7};
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(wait_for_objects_or_counter(1, &event, counter, 6, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(wait_for_objects_or_counter(0, nullptr, counter, 6, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(wait_for_objects_or_counter(1, &event, counter, 7, 0), WAIT_TIMEOUT);
    SetEvent(event);
    EXPECT_EQ(wait_for_objects_or_counter(1, &event, counter, 6, 0), WAIT_OBJECT_0)
        << "the handle comes first";
    CloseHandle(event);
    EXPECT_EQ(wait_for_objects_or_counter(1, &event, counter, 7, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(CounterWait, EveryAdvanceWakesEveryWaiter) {
    SharedCounter counter{0};
    constexpr int waiters = 4;
    constexpr int advances = 500;
    std::vector<int> woken(waiters, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < waiters; ++i) {
        threads.emplace_back([&, i] {
            std::uint32_t seen = 0;
            while (seen < advances) {
                if (wait_for_objects_or_counter(0, nullptr, counter, seen, 10000) !=
                    WAIT_OBJECT_0) {
                    return;  // a time-out: an advance was missed
                }
                seen = counter_value(counter);
                ++woken[i];
            }
        });
    }
    for (int i = 0; i < advances; ++i) {
        advance_counter(counter);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter_value(counter), static_cast<std::uint32_t>(advances));
    for (int count : woken) {
        EXPECT_GE(count, 1);
        EXPECT_LE(count, advances);
    }
}

class CounterWaitAcrossProcesses : public PrivateNamespace {};

TEST_F(CounterWaitAcrossProcesses, AnotherProcessWakesTheWaiter) {
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"counter");
    ASSERT_NE(mapping, nullptr);
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    SharedCounter& counter = platform::shared_counter_at(view);
    PlatformHelper advancer({"advance-counter", "counter", "3"});
    std::uint32_t seen = 0;
    int wakes = 0;
    while (seen < 3 &&
           wait_for_objects_or_counter(0, nullptr, counter, seen, 10000) == WAIT_OBJECT_0) {
        seen = counter_value(counter);
        ++wakes;
    }
    EXPECT_EQ(seen, 3u);
    EXPECT_GE(wakes, 1);
    EXPECT_EQ(advancer.wait(), 0);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

}  // namespace
}  // namespace tarnwick::test
