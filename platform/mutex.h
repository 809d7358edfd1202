#pragma once
// Mutexes: thread-owned, recursive and robust. The lock is a process-shared, robust, recursive
// pthread mutex, in private memory (unnamed) or in the named object's file. The kernel's
// robust-futex cleanup marks it when its owner dies, so the next taker learns it was abandoned.
// To wait on several objects at once, a waiter sleeps on the mutex's lock word itself, with
// the FUTEX_WAITERS bit set as the robust-futex protocol expects.

#include <pthread.h>

#include <memory>

#include "platform/named_object_file.h"
#include "platform/waitable.h"

namespace tarnwick::platform {

struct MutexState {
    pthread_mutex_t mutex;  // offset 0: its first word is the robust futex word
    unsigned char reserved[64 - sizeof(pthread_mutex_t)];
};
static_assert(sizeof(MutexState) == 64);

class Mutex final : public Waitable {
  public:
    Mutex();  // unnamed
    explicit Mutex(std::unique_ptr<NamedObjectFile> file);
    ~Mutex() override;

    // False when the pthread mutex cannot be set up (the last error tells why).
    static bool initialise(MutexState& state);

    // False (ERROR_NOT_OWNER) when the calling thread does not own the mutex.
    bool release();

    Acquisition try_acquire(WaitMemo& memo) override;
    bool prepare_sleep(FutexSleep& sleep, WaitMemo& memo) override;
    void pass_on_wake() override;
    void taken_after_sleep() override;
    WakeWord* wake_word() const override { return file_ ? file_->wake_word() : nullptr; }
    FutexWord* owner_death_word() override;

  private:
    FutexWord* lock_word() const;

    std::unique_ptr<MutexState> own_state_;
    std::unique_ptr<NamedObjectFile> file_;
    MutexState* state_;
};

}  // namespace tarnwick::platform
