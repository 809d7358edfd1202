#pragma once
// What tests need to know about thread priorities: whether this process may raise a thread at
// all, and which threads of a process run raised.

#include <sys/types.h>

namespace tarnwick::test {

// True when a thread of this process may switch itself to SCHED_FIFO 1 (CAP_SYS_NICE or an
// RLIMIT_RTPRIO of at least 1). Probed on a short-lived thread, so the caller is untouched.
bool realtime_priority_allowed();

// The threads of `pid` that run above normal priority right now: a real-time policy or a
// negative nice value. -1 when the process's threads cannot be read.
int raised_thread_count(pid_t pid);

}  // namespace tarnwick::test
