#pragma once
// The wake-up word of a namespace: how a wait on several objects sleeps where the kernel has no
// futex_waitv (Linux before 5.16, user-mode emulators). Every signal of every object (an event
// set or pulsed, a mutex released, a thread ended, a counter advanced) bumps the words this
// process knows; a waiter reads its word, looks at its objects, and sleeps on the word with the
// classic FUTEX_WAIT only while the word still holds what it read, so no signal between its
// look and its sleep is missed. Layout in docs/platform.md ("objects/.wake").

#include <filesystem>

#include "platform/futex.h"

namespace tarnwick::platform {

struct WakeWord {
    FutexWord generation;  // one more after every signal; the futex word waiters sleep on
    FutexWord sleepers;    // threads counted in before their look: a signal wakes only then
};
static_assert(sizeof(WakeWord) == 8 && alignof(WakeWord) == 4);

// The word of the namespace whose objects directory is `objects_dir`: its file ".wake" there,
// created when missing, mapped once per process and kept. Null (errno set) when it cannot be.
WakeWord* namespace_wake_word(const std::filesystem::path& objects_dir);

// The word of this process's own objects (unnamed events and mutexes, thread handles).
WakeWord& process_wake_word() noexcept;

// After a signal: bumps every word of this process (its own and each namespace's it has
// touched) and wakes their sleepers, if any.
void announce_signal() noexcept;

// One waiter on a word, counted among its sleepers for its lifetime.
class WakeWordSleeper {
  public:
    explicit WakeWordSleeper(WakeWord& word) noexcept;
    ~WakeWordSleeper();
    WakeWordSleeper(const WakeWordSleeper&) = delete;
    WakeWordSleeper& operator=(const WakeWordSleeper&) = delete;

    // The generation, to be read before the objects are looked at.
    std::uint32_t look() const noexcept;
    // Sleeps while the generation still holds `seen`.
    FutexResult sleep(std::uint32_t seen, const MonotonicDeadline& deadline) const;

  private:
    WakeWord& word_;
};

}  // namespace tarnwick::platform
