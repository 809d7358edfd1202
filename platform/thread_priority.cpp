// Thread priorities on Linux: TIME_CRITICAL is SCHED_FIFO at the lowest real-time priority, so
// that such a thread runs ahead of every ordinary thread but behind the kernel's own real-time
// work; IDLE is SCHED_IDLE; the levels between are nice values of the thread alone.
//
// Every change carries SCHED_RESET_ON_FORK. A raised thread's children then start as ordinary
// threads, which is what Windows does for a new thread, and an unprivileged thread that was
// raised through RLIMIT_RTPRIO can still return to NORMAL (it may not clear the flag itself).

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/last_error.h"
#include "platform/win32.h"

namespace {

HANDLE const current_thread_pseudo_handle =
    reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

struct NiceLevel {
    int priority;
    int nice;
};

// From the highest ordinary level down; a nice value maps back to the first level it reaches.
constexpr NiceLevel nice_levels[] = {
    {THREAD_PRIORITY_HIGHEST, -10}, {THREAD_PRIORITY_ABOVE_NORMAL, -5},
    {THREAD_PRIORITY_NORMAL, 0},    {THREAD_PRIORITY_BELOW_NORMAL, 5},
    {THREAD_PRIORITY_LOWEST, 10},
};

pid_t current_tid() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

bool set_policy(pid_t tid, int policy, int realtime_priority) {
    const sched_param parameter{realtime_priority};
    return sched_setscheduler(tid, policy | SCHED_RESET_ON_FORK, &parameter) == 0;
}

}  // namespace

HANDLE GetCurrentThread() {
    return current_thread_pseudo_handle;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (thread != current_thread_pseudo_handle) {
        return tarnwick::platform::fail(ERROR_NOT_SUPPORTED, FALSE);
    }
    const pid_t tid = current_tid();
    if (priority == THREAD_PRIORITY_TIME_CRITICAL) {
        return set_policy(tid, SCHED_FIFO, 1) ? TRUE : tarnwick::platform::fail_errno(FALSE);
    }
    if (priority == THREAD_PRIORITY_IDLE) {
        return set_policy(tid, SCHED_IDLE, 0) ? TRUE : tarnwick::platform::fail_errno(FALSE);
    }
    for (const NiceLevel& level : nice_levels) {
        if (level.priority != priority) {
            continue;
        }
        // The nice value first: a thread that may not take it keeps its policy as well.
        if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), level.nice) != 0) {
            return tarnwick::platform::fail_errno(FALSE);
        }
        return set_policy(tid, SCHED_OTHER, 0) ? TRUE : tarnwick::platform::fail_errno(FALSE);
    }
    return tarnwick::platform::fail(ERROR_INVALID_PARAMETER, FALSE);
}

int GetThreadPriority(HANDLE thread) {
    if (thread != current_thread_pseudo_handle) {
        return tarnwick::platform::fail(ERROR_NOT_SUPPORTED, THREAD_PRIORITY_ERROR_RETURN);
    }
    const pid_t tid = current_tid();
    const int policy = sched_getscheduler(tid);
    if (policy < 0) {
        return tarnwick::platform::fail_errno(THREAD_PRIORITY_ERROR_RETURN);
    }
    switch (policy & ~SCHED_RESET_ON_FORK) {
        case SCHED_FIFO:
        case SCHED_RR:
            return THREAD_PRIORITY_TIME_CRITICAL;
        case SCHED_IDLE:
            return THREAD_PRIORITY_IDLE;
        default:
            break;
    }
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0) {
        return tarnwick::platform::fail_errno(THREAD_PRIORITY_ERROR_RETURN);
    }
    for (const NiceLevel& level : nice_levels) {
        if (nice <= level.nice) {
            return level.priority;
        }
    }
    return THREAD_PRIORITY_LOWEST;
}
