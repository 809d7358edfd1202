#include "platform/futex.h"

#include <linux/futex.h>
#include <linux/time_types.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
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

// The futex call whose time-out has the C library's timespec: on 32-bit machines built with a
// 64-bit time_t that is futex_time64 (Linux 5.1), the old call would read half of it.
long futex_call(std::uint32_t* word, int operation, std::uint32_t value, const timespec* at,
                std::uint32_t bitset) {
#if defined(SYS_futex_time64)
    if constexpr (sizeof(at->tv_sec) == 8) {
        return syscall(SYS_futex_time64, word, operation, value, at, nullptr, bitset);
    }
#endif
    return syscall(SYS_futex, word, operation, value, at, nullptr, bitset);
}

// One word: FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC time-out.
FutexResult sleep_on_one(const FutexSleep& sleep, const MonotonicDeadline& deadline) {
    timespec at{};
    if (!deadline.is_never()) {
        at = deadline.as_timespec();
    }
    long rc = futex_call(address_of(sleep.word), FUTEX_WAIT_BITSET, sleep.expected,
                         deadline.is_never() ? nullptr : &at, FUTEX_BITSET_MATCH_ANY);
    if (rc == 0) {
        return {FutexOutcome::woken, 0};
    }
    return outcome_of_error(errno);
}

// futex_waitv's time-out is the kernel's 64-bit timespec on every machine.
__kernel_timespec kernel_time(const MonotonicDeadline& deadline) {
    const std::int64_t ns = deadline.ns();
    return {ns / 1'000'000'000, ns % 1'000'000'000};
}

long call_futex_waitv(futex_waitv* waiters, unsigned count, const MonotonicDeadline* deadline) {
#if defined(SYS_futex_waitv)
    __kernel_timespec at{};
    if (deadline != nullptr && !deadline->is_never()) {
        at = kernel_time(*deadline);
    }
    return syscall(SYS_futex_waitv, waiters, count, 0,
                   deadline == nullptr || deadline->is_never() ? nullptr : &at, CLOCK_MONOTONIC);
#else
    (void)waiters;
    (void)count;
    (void)deadline;
    errno = ENOSYS;
    return -1;
#endif
}

FutexResult sleep_on_many(std::span<const FutexSleep> words, const MonotonicDeadline& deadline) {
    std::vector<futex_waitv> waiters(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        waiters[i].val = words[i].expected;
        waiters[i].uaddr = reinterpret_cast<std::uintptr_t>(address_of(words[i].word));
        waiters[i].flags = FUTEX_32;
        waiters[i].__reserved = 0;
    }
    long rc = call_futex_waitv(waiters.data(), static_cast<unsigned>(waiters.size()), &deadline);
    if (rc >= 0) {
        return {FutexOutcome::woken, static_cast<std::size_t>(rc)};
    }
    if (errno == ENOSYS) {
        multi_wait_unavailable();
        if (multi_wait() == MultiWait::wake_word) {
            return {FutexOutcome::unsupported};
        }
        errno = ENOSYS;
    }
    return outcome_of_error(errno);
}

enum class Choice { undecided, futex_waitv, wake_word, insist_on_futex_waitv, invalid };

std::atomic<Choice> chosen{Choice::undecided};

Choice choice_from_environment() {
    const char* wanted = std::getenv("TARNWICK_WAIT");
    if (wanted == nullptr || *wanted == '\0') {
        return Choice::futex_waitv;
    }
    if (std::strcmp(wanted, "futex") == 0) {
        return Choice::wake_word;
    }
    if (std::strcmp(wanted, "futex_waitv") == 0) {
        return Choice::insist_on_futex_waitv;
    }
    return Choice::invalid;  // waits as without it; the service refuses to start
}

Choice current_choice() {
    Choice now = chosen.load(std::memory_order_acquire);
    if (now == Choice::undecided) {
        // A concurrent ENOSYS (wake_word) is never overridden.
        chosen.compare_exchange_strong(now, choice_from_environment(), std::memory_order_acq_rel);
        now = chosen.load(std::memory_order_acquire);
    }
    return now;
}

}  // namespace

MultiWait multi_wait() noexcept {
    return current_choice() == Choice::wake_word ? MultiWait::wake_word : MultiWait::futex_waitv;
}

void multi_wait_unavailable() noexcept {
    Choice now = current_choice();
    if (now != Choice::insist_on_futex_waitv) {
        chosen.compare_exchange_strong(now, Choice::wake_word, std::memory_order_acq_rel);
    }
}

FutexResult futex_sleep(std::span<const FutexSleep> words, const MonotonicDeadline& deadline) {
    if (words.size() == 1) {
        return sleep_on_one(words[0], deadline);
    }
    return sleep_on_many(words, deadline);
}

void futex_wake(FutexWord* word, int count) {
    futex_call(address_of(word), FUTEX_WAKE, static_cast<std::uint32_t>(count), nullptr, 0);
}

void futex_wake_all(FutexWord* word) {
    futex_wake(word, INT_MAX);
}

bool futex_calls_available(const char*& missing) noexcept {
    FutexWord probe{0};
    // A word that does not hold the expected value answers EAGAIN at once where the call exists.
    if (futex_call(address_of(&probe), FUTEX_WAIT_BITSET, 1, nullptr, FUTEX_BITSET_MATCH_ANY) !=
            -1 ||
        errno != EAGAIN) {
        missing = "the kernel lacks futex (FUTEX_WAIT_BITSET, Linux 2.6.25)";
        return false;
    }
    if (current_choice() == Choice::invalid) {
        missing = "TARNWICK_WAIT is neither futex nor futex_waitv";
        return false;
    }
    if (multi_wait() == MultiWait::futex_waitv) {
        futex_waitv waiter{1, reinterpret_cast<std::uintptr_t>(address_of(&probe)), FUTEX_32, 0};
        if (call_futex_waitv(&waiter, 1, nullptr) == -1 && errno == ENOSYS) {
            multi_wait_unavailable();
            if (multi_wait() == MultiWait::futex_waitv) {
                missing =
                    "the kernel lacks futex_waitv (Linux 5.16), which TARNWICK_WAIT=futex_waitv "
                    "insists on";
                return false;
            }
        }
    }
    return true;
}

}  // namespace tarnwick::platform
