#pragma once
// For a wait that sleeps on a wake-up word (wake_word.h) while a mutex of its set is owned:
// the kernel wakes only the sleepers of the mutex's own lock word, on a release and when the
// owner dies (robust-futex cleanup, which runs no code of ours). A watch is a thread asleep on
// that lock word for the waiter; whatever wakes it bumps the wake-up words, so the waiter looks
// again. It lives for one sleep of the waiter.

#include <thread>

#include "platform/futex.h"

namespace tarnwick::platform {

class LockWordWatch {
  public:
    // Throws std::system_error when no thread can be started.
    explicit LockWordWatch(FutexWord& lock_word);
    // Stops the watch. Every sleeper of the lock word is woken, so that a wake-up the watch
    // may have taken for itself still reaches one of them.
    ~LockWordWatch();
    LockWordWatch(const LockWordWatch&) = delete;
    LockWordWatch& operator=(const LockWordWatch&) = delete;

  private:
    void run();

    FutexWord& lock_word_;
    FutexWord stopped_{0};
    std::thread thread_;
};

}  // namespace tarnwick::platform
