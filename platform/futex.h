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
static_assert(sizeof(FutexWord) == 4 && alignof(FutexWord) == 4 && FutexWord::is_always_lock_free);

// One word to sleep on and the value it must still hold for the sleep to begin.
struct FutexSleep {
    FutexWord* word;
    std::uint32_t expected;
};

enum class FutexOutcome {
    woken,        // a wake-up arrived on `woken_index`
    changed,      // a word no longer held its expected value, or a signal interrupted the sleep
    timed_out,    // the deadline passed
    unsupported,  // the kernel has no call to sleep on several words (futex_waitv, Linux 5.16)
    failed,       // the kernel refused the wait (errno is set)
};

struct FutexResult {
    FutexOutcome outcome;
    std::size_t woken_index = 0;
};

// How waits on several objects sleep: on all their words at once (futex_waitv), or on the
// namespace's wake-up word (wake_word.h) where the kernel lacks that call. Chosen once, from
// TARNWICK_WAIT: "futex" takes the wake-up word, "futex_waitv" insists on futex_waitv (a wait
// fails where it is missing), unset or empty takes futex_waitv until it first answers ENOSYS.
enum class MultiWait { futex_waitv, wake_word };
MultiWait multi_wait() noexcept;
// Records that futex_waitv is missing (its first ENOSYS); every later wait uses the wake word,
// unless TARNWICK_WAIT insists on futex_waitv.
void multi_wait_unavailable() noexcept;

// Sleeps until one of the words is woken, a word differs from its expected value, or the
// deadline passes. Uses the keys of shared (inter-process) futexes, so that wake-ups from
// other processes, and from the kernel's robust-mutex cleanup, arrive. Several words need
// futex_waitv (`unsupported` without it); one word uses the classic futex call.
FutexResult futex_sleep(std::span<const FutexSleep> words, const MonotonicDeadline& deadline);

// Wakes up to `count` sleepers of `word`.
void futex_wake(FutexWord* word, int count);
void futex_wake_all(FutexWord* word);

// Whether the kernel answers the calls the waits rely on and TARNWICK_WAIT makes sense; false
// says what is missing or wrong in `missing`, as a phrase for a message. Asks futex_waitv only when
// multi_wait() still chooses it, so that the choice is made before the first wait.
bool futex_calls_available(const char*& missing) noexcept;

}  // namespace tarnwick::platform
