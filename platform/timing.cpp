// Sleep, GetTickCount and the performance counter, all on CLOCK_MONOTONIC.

#include <sched.h>
#include <time.h>

#include <cerrno>

#include "platform/monotonic_deadline.h"

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    if (milliseconds == INFINITE) {
        for (;;) {
            timespec day{86400, 0};
            nanosleep(&day, nullptr);
        }
    }
    timespec at = tarnwick::platform::MonotonicDeadline::after_ms(milliseconds).as_timespec();
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

DWORD GetTickCount() {
    return static_cast<DWORD>(tarnwick::platform::monotonic_now_ns() / 1'000'000);
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) {
        return FALSE;
    }
    frequency->QuadPart = 1'000'000'000;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* counter) {
    if (counter == nullptr) {
        return FALSE;
    }
    counter->QuadPart = tarnwick::platform::monotonic_now_ns();
    return TRUE;
}
