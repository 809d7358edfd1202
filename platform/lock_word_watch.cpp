#include "platform/lock_word_watch.h"

#include <linux/futex.h>

#include "platform/wake_word.h"

namespace tarnwick::platform {

LockWordWatch::LockWordWatch(FutexWord& lock_word)
    : lock_word_(lock_word), thread_([this] { run(); }) {}

LockWordWatch::~LockWordWatch() {
    stopped_.store(1, std::memory_order_release);
    futex_wake_all(&stopped_);
    futex_wake_all(&lock_word_);
    thread_.join();
}

void LockWordWatch::run() {
    const MonotonicDeadline never = MonotonicDeadline::never();
    while (stopped_.load(std::memory_order_acquire) == 0) {
        std::uint32_t value = lock_word_.load(std::memory_order_acquire);
        if ((value & FUTEX_TID_MASK) == 0) {
            // Released, or its owner died: the waiter may take it now.
            announce_signal();
            const FutexSleep until_stopped{&stopped_, 0};
            futex_sleep({&until_stopped, 1}, never);
            continue;
        }
        // As every sleeper on a lock word: with FUTEX_WAITERS set, a release or the owner's
        // death wakes someone.
        if ((value & FUTEX_WAITERS) == 0 &&
            !lock_word_.compare_exchange_strong(value, value | FUTEX_WAITERS,
                                                std::memory_order_acq_rel)) {
            continue;
        }
        const FutexSleep on_lock{&lock_word_, value | FUTEX_WAITERS};
        futex_sleep({&on_lock, 1}, never);
        if (stopped_.load(std::memory_order_acquire) == 0) {
            announce_signal();
        }
    }
}

}  // namespace tarnwick::platform
