// Threads, critical sections, interlocked counters and the clocks.

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/win32.h"

namespace {

struct Probe {
    std::atomic<bool> ran{false};
    std::atomic<DWORD> thread_id{0};
    HANDLE own_handle = nullptr;
    HANDLE release = nullptr;
};

DWORD record_and_return(LPVOID parameter) {
    auto* probe = static_cast<Probe*>(parameter);
    if (probe->release != nullptr) {
        WaitForSingleObject(probe->release, INFINITE);
    }
    if (probe->own_handle != nullptr) {
        CloseHandle(probe->own_handle);
    }
    probe->thread_id = GetCurrentThreadId();
    probe->ran = true;  // the last touch of the probe, which lives on the test's stack
    return 42;
}

DWORD deep_recursion(LPVOID parameter) {
    // Uses well over 64 KiB of stack: the reservation is only a minimum.
    volatile char block[200 * 1024];
    block[0] = static_cast<char>(reinterpret_cast<std::uintptr_t>(parameter));
    block[sizeof block - 1] = block[0];
    return static_cast<DWORD>(block[sizeof block - 1]);
}

TEST(Threads, SuspendedThreadRunsOnlyAfterResume) {
    Probe probe;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0x10000, record_and_return, &probe,
                                 CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    Sleep(50);
    EXPECT_FALSE(probe.ran.load());
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ResumeThread(thread), 1u);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ResumeThread(thread), 0u);
    EXPECT_TRUE(probe.ran.load());
    EXPECT_EQ(probe.thread_id.load(), id) << "the id is the kernel thread id";
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "stays signalled until closed";
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
}

TEST(Threads, ClosingTheHandleOfARunningThreadLetsItFinish) {
    Probe probe;
    probe.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, record_and_return, &probe, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(probe.release);
    for (int i = 0; i < 500 && !probe.ran; ++i) {
        Sleep(2);
    }
    EXPECT_TRUE(probe.ran.load());
    Sleep(20);  // the thread finishes on its own, detached
    CloseHandle(probe.release);
}

TEST(Threads, AThreadMayCloseItsOwnHandle) {
    Probe probe;
    HANDLE thread = CreateThread(nullptr, 0, record_and_return, &probe, CREATE_SUSPENDED, nullptr);
    probe.own_handle = thread;
    ResumeThread(thread);
    for (int i = 0; i < 1000 && !probe.ran; ++i) {
        Sleep(2);
    }
    Sleep(20);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Threads, SmallReservationStillGivesAUsableStack) {
    HANDLE thread =
        CreateThread(nullptr, 0x10000, deep_recursion, reinterpret_cast<LPVOID>(std::uintptr_t{5}),
                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 5u);
    CloseHandle(thread);
}

TEST(Threads, CurrentThreadIdIsTheKernelTid) {
    EXPECT_EQ(GetCurrentThreadId(), static_cast<DWORD>(syscall(SYS_gettid)));
}

TEST(CriticalSections, AreRecursiveAndExclusive) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    bool other_got_it = true;
    std::thread([&] { other_got_it = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(other_got_it);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread([&] {
        other_got_it = TryEnterCriticalSection(&section);
        LeaveCriticalSection(&section);
    }).join();
    EXPECT_TRUE(other_got_it);
    DeleteCriticalSection(&section);
}

TEST(Interlocked, OperationsReturnTheDocumentedValues) {
    LONG volatile value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 3), 9) << "no exchange on mismatch";
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);
    LONG volatile counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                InterlockedIncrement(&counter);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 40000);
}

TEST(Clocks, TickCountAndPerformanceCounterAdvance) {
    LARGE_INTEGER frequency{}, before{}, after{};
    EXPECT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1'000'000'000);
    DWORD tick_before = GetTickCount();
    QueryPerformanceCounter(&before);
    Sleep(50);
    QueryPerformanceCounter(&after);
    DWORD elapsed_ticks = GetTickCount() - tick_before;  // wraps like the real counter
    EXPECT_GE(elapsed_ticks, 50u);
    EXPECT_LT(elapsed_ticks, 1000u);
    EXPECT_GE(after.QuadPart - before.QuadPart, 50'000'000);
}

}  // namespace
