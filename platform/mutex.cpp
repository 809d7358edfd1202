#include "platform/mutex.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"

namespace tarnwick::platform {

Mutex::Mutex() : own_state_(std::make_unique<MutexState>()), state_(own_state_.get()) {
    initialise(*state_);
}

Mutex::Mutex(std::unique_ptr<NamedObjectFile> file)
    : file_(std::move(file)), state_(static_cast<MutexState*>(file_->memory())) {}

namespace {

// True when `tid` is a live thread of this process.
bool is_thread_of_this_process(std::uint32_t tid) {
    return tid != 0 && syscall(SYS_tgkill, getpid(), static_cast<pid_t>(tid), 0) == 0;
}

}  // namespace

Mutex::~Mutex() {
    // A mutex still owned by one of our threads sits on that thread's robust list, which the C
    // library and the kernel walk later: its memory must stay. As on Windows, where the owning
    // thread keeps the mutex alive, it is then kept until the process ends.
    if (is_thread_of_this_process(lock_word()->load(std::memory_order_acquire) & FUTEX_TID_MASK)) {
        (void)own_state_.release();
        (void)file_.release();
        return;
    }
    if (own_state_) {
        pthread_mutex_destroy(&own_state_->mutex);
    }
}

bool Mutex::initialise(MutexState& state) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    // Even an unnamed mutex uses shared futex keys: waits sleep on shared keys throughout.
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    int rc = pthread_mutex_init(&state.mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (rc != 0) {
        SetLastError(error_from_errno(rc));
        return false;
    }
    return true;
}

FutexWord* Mutex::lock_word() const {
    return reinterpret_cast<FutexWord*>(&state_->mutex);
}

bool Mutex::release() {
    // Checked here rather than left to pthread_mutex_unlock, whose EPERM for a non-owner is
    // also reported as an error by ThreadSanitizer.
    auto owner = lock_word()->load(std::memory_order_relaxed) & FUTEX_TID_MASK;
    if (owner != static_cast<std::uint32_t>(syscall(SYS_gettid))) {
        return fail(ERROR_NOT_OWNER, false);
    }
    int rc = pthread_mutex_unlock(&state_->mutex);
    if (rc != 0) {
        return fail(ERROR_NOT_OWNER, false);
    }
    announce_signal();  // a recursive hold released once more is no signal, but harmless
    return true;
}

Acquisition Mutex::try_acquire(WaitMemo&) {
    int rc = pthread_mutex_trylock(&state_->mutex);
    if (rc == 0) {
        return Acquisition::taken;
    }
    if (rc == EOWNERDEAD) {
        pthread_mutex_consistent(&state_->mutex);
        return Acquisition::abandoned;
    }
    return Acquisition::busy;
}

bool Mutex::prepare_sleep(FutexSleep& sleep, WaitMemo&) {
    FutexWord* word = lock_word();
    std::uint32_t value = word->load(std::memory_order_acquire);
    if ((value & FUTEX_TID_MASK) == 0) {
        return false;  // free (or abandoned): try to take it
    }
    if ((value & FUTEX_WAITERS) == 0 &&
        !word->compare_exchange_strong(value, value | FUTEX_WAITERS, std::memory_order_acq_rel)) {
        return false;
    }
    sleep = {word, value | FUTEX_WAITERS};
    return true;
}

FutexWord* Mutex::owner_death_word() {
    FutexWord* word = lock_word();
    return (word->load(std::memory_order_acquire) & FUTEX_TID_MASK) != 0 ? word : nullptr;
}

void Mutex::pass_on_wake() {
    futex_wake(lock_word(), 1);
}

void Mutex::taken_after_sleep() {
    // The unlock that woke us cleared the word; others may still sleep on it. With the bit set
    // again, our own unlock wakes the next one.
    lock_word()->fetch_or(FUTEX_WAITERS, std::memory_order_acq_rel);
}

}  // namespace tarnwick::platform
