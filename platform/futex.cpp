#include "platform/futex.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace tarnwick::platform {
namespace {

std::uint32_t* address_of(FutexWord* word) {
    return reinterpret_cast<std::uint32_t*>(word);
}

FutexResult outcome_of_error(int error) {
    switch (error) {
        case EAGAIN:
        case EINTR:
            return {FutexOutcome::changed};
        case ETIMEDOUT:
            return {FutexOutcome::timed_out};
        default:
            errno = error;
            return {FutexOutcome::failed};
    }
}

// One word: FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC time-out.
FutexResult sleep_on_one(const FutexSleep& sleep, const MonotonicDeadline& deadline) {
    timespec at{};
    if (!deadline.is_never()) {
        at = deadline.as_timespec();
    }
    long rc = syscall(SYS_futex, address_of(sleep.word), FUTEX_WAIT_BITSET, sleep.expected,
                      deadline.is_never() ? nullptr : &at, nullptr, FUTEX_BITSET_MATCH_ANY);
    if (rc == 0) {
        return {FutexOutcome::woken, 0};
    }
    return outcome_of_error(errno);
}

FutexResult sleep_on_many(std::span<const FutexSleep> words, const MonotonicDeadline& deadline) {
    std::vector<futex_waitv> waiters(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        waiters[i].val = words[i].expected;
        waiters[i].uaddr = reinterpret_cast<std::uintptr_t>(address_of(words[i].word));
        waiters[i].flags = FUTEX_32;
        waiters[i].__reserved = 0;
    }
    timespec at{};
    if (!deadline.is_never()) {
        at = deadline.as_timespec();
    }
    long rc = syscall(SYS_futex_waitv, waiters.data(), static_cast<unsigned>(waiters.size()), 0,
                      deadline.is_never() ? nullptr : &at, CLOCK_MONOTONIC);
    if (rc >= 0) {
        return {FutexOutcome::woken, static_cast<std::size_t>(rc)};
    }
    return outcome_of_error(errno);
}

}  // namespace

FutexResult futex_sleep(std::span<const FutexSleep> words, const MonotonicDeadline& deadline) {
    if (words.size() == 1) {
        return sleep_on_one(words[0], deadline);
    }
    return sleep_on_many(words, deadline);
}

void futex_wake(FutexWord* word, int count) {
    syscall(SYS_futex, address_of(word), FUTEX_WAKE, count, nullptr, nullptr, 0);
}

void futex_wake_all(FutexWord* word) {
    futex_wake(word, INT_MAX);
}

}  // namespace tarnwick::platform
