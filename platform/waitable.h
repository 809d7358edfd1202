#pragma once
// What WaitForSingleObject / WaitForMultipleObjects need of an object: an attempt to take it
// without blocking, a futex word to sleep on while it cannot be taken, and the wake-up word its
// signals bump (wake_word.h) for kernels that cannot sleep on several futex words at once.

#include <cstdint>

#include "platform/futex.h"
#include "platform/handle_table.h"
#include "platform/wake_word.h"

namespace tarnwick::platform {

// Per-object scratch of one wait call (an event remembers the pulse generation it slept with).
struct WaitMemo {
    static constexpr std::uint32_t kNone = 1;  // never a sleeping snapshot (bit 0 clear there)
    std::uint32_t snapshot = kNone;
};

enum class Acquisition { taken, abandoned, busy };

class Waitable : public Object {
  public:
    // Takes the object if it is signalled (consuming an auto-reset event, owning a mutex).
    virtual Acquisition try_acquire(WaitMemo& memo) = 0;
    // Fills `sleep` with the word and value to sleep on while the object stays unsignalled.
    // Returns false when the state changed meanwhile and the caller should try again at once.
    virtual bool prepare_sleep(FutexSleep& sleep, WaitMemo& memo) = 0;
    // A wake-up that arrived on this object's word but did not end in taking it. Objects whose
    // signal wakes a single sleeper pass it on, so that no other sleeper is stranded.
    virtual void pass_on_wake() {}
    // The object was taken after this thread had slept on it.
    virtual void taken_after_sleep() {}
    // The wake-up word of the namespace the object lives in; null for an object of this
    // process alone (signalled only here: every word of the process is bumped).
    virtual WakeWord* wake_word() const { return nullptr; }
    // The word that only the kernel wakes when the object's owner dies (an owned mutex's lock
    // word), which a sleep on the wake-up word must have watched (lock_word_watch.h); null
    // when there is none.
    virtual FutexWord* owner_death_word() { return nullptr; }
};

}  // namespace tarnwick::platform
