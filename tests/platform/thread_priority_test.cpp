// Thread priorities: the levels a thread may always take, the real-time level where this
// process has the right to it, and the handles and values that are refused.

#include <gtest/gtest.h>

#include <thread>

#include "platform/win32.h"
#include "tests/support/scheduling.h"

namespace {

// Runs `body` on a thread of its own, so that a level taken there (which an unprivileged
// thread could not give up again) leaves the test's thread as it was.
template <typename Body>
void on_own_thread(Body body) {
    std::thread thread(body);
    thread.join();
}

// Every level is checked from NORMAL, where a test run under nice cannot start.
#define REQUIRE_NORMAL_PRIORITY()                                              \
    do {                                                                       \
        if (GetThreadPriority(GetCurrentThread()) != THREAD_PRIORITY_NORMAL) { \
            GTEST_SKIP() << "the tests run at other than normal priority";     \
        }                                                                      \
    } while (0)

TEST(ThreadPriority, LowerLevelsAreTakenAndReportedBack) {
    REQUIRE_NORMAL_PRIORITY();
    for (const int level :
         {THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_IDLE}) {
        on_own_thread([level] {
            EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
            EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), level)) << level;
            EXPECT_EQ(GetThreadPriority(GetCurrentThread()), level);
        });
    }
}

TEST(ThreadPriority, TimeCriticalIsRealTimeWhereAllowedAndNotInheritedByNewThreads) {
    REQUIRE_NORMAL_PRIORITY();
    const bool allowed = tarnwick::test::realtime_priority_allowed();
    on_own_thread([allowed] {
        SetLastError(ERROR_SUCCESS);
        const BOOL raised = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        if (!allowed) {
            EXPECT_FALSE(raised);
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
            EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
            return;
        }
        ASSERT_TRUE(raised);
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_TIME_CRITICAL);
        int child_level = THREAD_PRIORITY_ERROR_RETURN;
        HANDLE child = CreateThread(
            nullptr, 0,
            [](LPVOID level) -> DWORD {
                *static_cast<int*>(level) = GetThreadPriority(GetCurrentThread());
                return 0;
            },
            &child_level, 0, nullptr);
        ASSERT_NE(child, nullptr);
        WaitForSingleObject(child, INFINITE);
        CloseHandle(child);
        EXPECT_EQ(child_level, THREAD_PRIORITY_NORMAL) << "a new thread starts as an ordinary one";
        EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL));
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
    });
}

TEST(ThreadPriority, OtherHandlesAndUnknownLevelsAreRefused) {
    REQUIRE_NORMAL_PRIORITY();
    on_own_thread([] {
        EXPECT_FALSE(SetThreadPriority(nullptr, THREAD_PRIORITY_LOWEST));
        EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
        EXPECT_EQ(GetThreadPriority(INVALID_HANDLE_VALUE), THREAD_PRIORITY_ERROR_RETURN);
        EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
        for (const int level : {3, 14, 16, -3, -16}) {
            EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), level)) << level;
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << level;
        }
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
    });
}

}  // namespace
