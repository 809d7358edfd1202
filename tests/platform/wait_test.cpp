// Waits within one process: a table of cases over events, mutexes and threads.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

DWORD sleep_then_return(LPVOID parameter) {
    Sleep(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(parameter)));
    return 7;
}

DWORD own_mutex_and_exit(LPVOID parameter) {
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 0;  // ends without releasing: the mutex is abandoned
}

struct Handles {
    std::vector<HANDLE> all;
    ~Handles() {
        for (HANDLE handle : all) {
            CloseHandle(handle);
        }
    }
    HANDLE add(HANDLE handle) {
        EXPECT_NE(handle, nullptr);
        all.push_back(handle);
        return handle;
    }
};

struct WaitCase {
    const char* name;
    // Builds the objects to wait on (and may signal some of them, now or later).
    std::function<std::vector<HANDLE>(Handles&)> build;
    DWORD timeout_ms;
    DWORD expected;
    // Checked after the wait (e.g. that an auto-reset event was consumed).
    std::function<void(const std::vector<HANDLE>&)> after = nullptr;
};

HANDLE event(Handles& handles, bool manual, bool set) {
    return handles.add(CreateEventW(nullptr, manual, set, nullptr));
}

HANDLE set_later(HANDLE handle, DWORD delay_ms) {
    std::thread([handle, delay_ms] {
        Sleep(delay_ms);
        SetEvent(handle);
    }).detach();
    return handle;
}

const WaitCase kWaitCases[] = {
    {"signalled manual event stays signalled",
     [](Handles& h) { return std::vector{event(h, true, true)}; }, 0, WAIT_OBJECT_0,
     [](const std::vector<HANDLE>& w) { EXPECT_EQ(WaitForSingleObject(w[0], 0), WAIT_OBJECT_0); }},
    {"signalled auto event is consumed",
     [](Handles& h) { return std::vector{event(h, false, true)}; }, 0, WAIT_OBJECT_0,
     [](const std::vector<HANDLE>& w) { EXPECT_EQ(WaitForSingleObject(w[0], 0), WAIT_TIMEOUT); }},
    {"unsignalled event times out", [](Handles& h) { return std::vector{event(h, true, false)}; },
     30, WAIT_TIMEOUT},
    {"lowest signalled index wins",
     [](Handles& h) {
         return std::vector{event(h, false, false), event(h, false, true), event(h, true, true)};
     },
     0, WAIT_OBJECT_0 + 1,
     [](const std::vector<HANDLE>& w) { EXPECT_EQ(WaitForSingleObject(w[2], 0), WAIT_OBJECT_0); }},
    {"event set later wakes a multi-wait",
     [](Handles& h) {
         return std::vector{event(h, false, false), set_later(event(h, false, false), 20)};
     },
     5000, WAIT_OBJECT_0 + 1},
    {"thread handle signalled at thread end",
     [](Handles& h) {
         return std::vector{
             event(h, true, false),
             h.add(CreateThread(nullptr, 0, sleep_then_return,
                                reinterpret_cast<LPVOID>(std::uintptr_t{20}), 0, nullptr))};
     },
     5000, WAIT_OBJECT_0 + 1,
     [](const std::vector<HANDLE>& w) {
         DWORD code = 0;
         EXPECT_TRUE(GetExitCodeThread(w[1], &code));
         EXPECT_EQ(code, 7u);
     }},
    {"running thread times out",
     [](Handles& h) {
         return std::vector{
             h.add(CreateThread(nullptr, 0, sleep_then_return,
                                reinterpret_cast<LPVOID>(std::uintptr_t{300}), 0, nullptr))};
     },
     20, WAIT_TIMEOUT},
    {"free mutex is taken and recursive",
     [](Handles& h) { return std::vector{h.add(CreateMutexW(nullptr, FALSE, nullptr))}; }, 0,
     WAIT_OBJECT_0,
     [](const std::vector<HANDLE>& w) {
         EXPECT_EQ(WaitForSingleObject(w[0], 0), WAIT_OBJECT_0);
         EXPECT_TRUE(ReleaseMutex(w[0]));
         EXPECT_TRUE(ReleaseMutex(w[0]));
         EXPECT_FALSE(ReleaseMutex(w[0]));
         EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
     }},
    {"abandoned mutex in a multi-wait",
     [](Handles& h) {
         HANDLE mutex = h.add(CreateMutexW(nullptr, FALSE, nullptr));
         HANDLE thread = CreateThread(nullptr, 0, own_mutex_and_exit, mutex, 0, nullptr);
         WaitForSingleObject(thread, INFINITE);
         CloseHandle(thread);
         return std::vector{event(h, true, false), mutex};
     },
     1000, WAIT_ABANDONED_0 + 1,
     [](const std::vector<HANDLE>& w) {
         EXPECT_EQ(WaitForSingleObject(w[1], 0), WAIT_OBJECT_0);  // now owned, recursively
         EXPECT_TRUE(ReleaseMutex(w[1]));
         EXPECT_TRUE(ReleaseMutex(w[1]));
     }},
};

class WaitCases : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitCases, ReturnsTheExpectedResult) {
    const WaitCase& c = GetParam();
    Handles handles;
    std::vector<HANDLE> waited = c.build(handles);
    DWORD result = WaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(), FALSE,
                                          c.timeout_ms);
    EXPECT_EQ(result, c.expected);
    if (c.after) {
        c.after(waited);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, WaitCases, ::testing::ValuesIn(kWaitCases),
                         [](const auto& param_info) {
                             std::string name = param_info.param.name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

TEST(Waits, RefuseBadArguments) {
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE pair[] = {event, event};
    EXPECT_EQ(WaitForMultipleObjects(2, pair, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForMultipleObjects(0, pair, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    for (HANDLE bad : {HANDLE{nullptr}, INVALID_HANDLE_VALUE}) {
        EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(CloseHandle(bad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    CloseHandle(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED) << "a closed handle stays invalid";
    HANDLE next = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_NE(next, event) << "handle values are not reused at once";
    EXPECT_FALSE(SetEvent(event));
    CloseHandle(next);
}

TEST(Waits, AutoResetEventReleasesExactlyOneOfSeveralWaiters) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, 1500) == WAIT_OBJECT_0) {
                ++released;
            }
        });
    }
    Sleep(100);  // let them all sleep
    SetEvent(event);
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 1);
    CloseHandle(event);
}

TEST(Waits, ManualResetEventReleasesAllWaitersAndPulseReleasesOnlyCurrentOnes) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, 5000) == WAIT_OBJECT_0) {
                ++released;
            }
        });
    }
    Sleep(100);
    EXPECT_TRUE(PulseEvent(event));
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 3);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "a pulse leaves the event reset";
    EXPECT_TRUE(EventModify(event, EVENT_SET));
    EXPECT_TRUE(EventModify(event, EVENT_RESET));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(EventModify(event, 99));
    CloseHandle(event);
}

TEST(Waits, TimeOutIsHonoured) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_GE(waited.count(), 100);
    EXPECT_LT(waited.count(), 1000);
    CloseHandle(event);
}

TEST(Waits, ClosingOwnedMutexesIsHarmless) {
    HANDLE first = CreateMutexW(nullptr, TRUE, nullptr);
    HANDLE second = CreateMutexW(nullptr, TRUE, nullptr);
    CloseHandle(second);  // still owned: must not vanish from under the owner's bookkeeping
    EXPECT_TRUE(ReleaseMutex(first));
    CloseHandle(first);
    HANDLE third = CreateMutexW(nullptr, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(third, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(third));
    CloseHandle(third);
}

TEST(Waits, MutexHandsOverBetweenThreads) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    long shared_counter = 0;  // guarded by the mutex: TSan checks the hand-over
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back([&] {
            for (int k = 0; k < 200; ++k) {
                HANDLE set[] = {mutex};
                ASSERT_EQ(WaitForMultipleObjects(1, set, FALSE, INFINITE), WAIT_OBJECT_0);
                ++shared_counter;
                ASSERT_TRUE(ReleaseMutex(mutex));
            }
        });
    }
    Sleep(20);
    EXPECT_FALSE([&] {
        long value = 0;
        std::thread other([&] { value = ReleaseMutex(mutex); });
        other.join();
        return value;
    }()) << "only the owner may release";
    ++shared_counter;
    ASSERT_TRUE(ReleaseMutex(mutex));
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(shared_counter, 601);
    CloseHandle(mutex);
}

}  // namespace
