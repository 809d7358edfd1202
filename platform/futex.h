#pragma once
// Futex words: the kernel's wait queues keyed by a 32-bit word, shared between processes when
// the word lives in shared memory. Every waiting primitive of the platform sleeps here.

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/monotonic_deadline.h"

namespace tarnwick::platform {

using FutexWord = std::atomic<std::uint32_t>;
static_assert(sizeof(FutexWord) == 4 && FutexWord::is_always_lock_free);

// One word to sleep on and the value it must still hold for the sleep to begin.
struct FutexSleep {
    FutexWord* word;
    std::uint32_t expected;
};

enum class FutexOutcome {
    woken,      // a wake-up arrived on `woken_index`
    changed,    // a word no longer held its expected value, or a signal interrupted the sleep
    timed_out,  // the deadline passed
    failed,     // the kernel refused the wait (errno is set)
};

struct FutexResult {
    FutexOutcome outcome;
    std::size_t woken_index = 0;
};

// Sleeps until one of the words is woken, a word differs from its expected value, or the
// deadline passes. Uses the keys of shared (inter-process) futexes, so that wake-ups from
// other processes, and from the kernel's robust-mutex cleanup, arrive.
FutexResult futex_sleep(std::span<const FutexSleep> words, const MonotonicDeadline& deadline);

// Wakes up to `count` sleepers of `word`.
void futex_wake(FutexWord* word, int count);
void futex_wake_all(FutexWord* word);

}  // namespace tarnwick::platform
