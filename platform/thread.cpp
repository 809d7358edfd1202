#include "platform/thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "platform/last_error.h"
#include "platform/tsan_annotations.h"

namespace tarnwick::platform {
namespace {

// Stack sizes below this are raised to it: glibc, the C++ runtime and formatting need more
// than the 64 KiB the service asks for, and sanitizers need several times as much again.
#if defined(TARNWICK_SANITIZED)
constexpr SIZE_T kMinimumStack = 4u << 20;
#else
constexpr SIZE_T kMinimumStack = 256u << 10;
#endif

struct LaunchContext {
    std::shared_ptr<Thread> thread;
};

}  // namespace

Thread::Thread(LPTHREAD_START_ROUTINE start, LPVOID parameter, bool suspended)
    : start_(start), parameter_(parameter), suspend_count_(suspended ? 1 : 0) {}

bool Thread::launch(const std::shared_ptr<Thread>& thread, SIZE_T stack_size) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, std::max(stack_size, kMinimumStack));
    auto* context = new LaunchContext{thread};
    pthread_t id;
    int rc = pthread_create(&id, &attributes, &Thread::trampoline, context);
    pthread_attr_destroy(&attributes);
    if (rc != 0) {
        delete context;
        SetLastError(rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : error_from_errno(rc));
        return false;
    }
    return true;
}

DWORD Thread::thread_id() {
    std::unique_lock lock(suspension_mutex_);
    resumed_.wait(lock, [&] { return thread_id_.load(std::memory_order_acquire) != 0; });
    return thread_id_.load(std::memory_order_acquire);
}

void* Thread::trampoline(void* raw_context) {
    std::shared_ptr<Thread> self = std::move(static_cast<LaunchContext*>(raw_context)->thread);
    delete static_cast<LaunchContext*>(raw_context);
    self->run();
    return nullptr;
}

void Thread::run() {
    {
        std::unique_lock lock(suspension_mutex_);
        thread_id_.store(static_cast<DWORD>(syscall(SYS_gettid)), std::memory_order_release);
        resumed_.notify_all();
        resumed_.wait(lock, [&] { return suspend_count_ == 0; });
    }
    DWORD code = start_(parameter_);
    exit_code_.store(code, std::memory_order_release);
    tsan_release(this);
    ended_.store(1, std::memory_order_release);
    futex_wake_all(&ended_);
    announce_signal();
}

DWORD Thread::resume() {
    std::lock_guard lock(suspension_mutex_);
    DWORD previous = suspend_count_;
    if (suspend_count_ > 0 && --suspend_count_ == 0) {
        resumed_.notify_all();
    }
    return previous;
}

DWORD Thread::exit_code() const {
    return exit_code_.load(std::memory_order_acquire);
}

Acquisition Thread::try_acquire(WaitMemo&) {
    if (ended_.load(std::memory_order_acquire) != 0) {
        tsan_acquire(this);
        return Acquisition::taken;
    }
    return Acquisition::busy;
}

bool Thread::prepare_sleep(FutexSleep& sleep, WaitMemo&) {
    sleep = {&ended_, 0};
    return true;
}

}  // namespace tarnwick::platform

using tarnwick::platform::Thread;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creation_flags, LPDWORD thread_id) {
    if (start == nullptr) {
        return tarnwick::platform::fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    }
    auto thread =
        std::make_shared<Thread>(start, parameter, (creation_flags & CREATE_SUSPENDED) != 0);
    HANDLE handle = tarnwick::platform::insert_handle(thread);
    if (handle == nullptr) {
        return nullptr;
    }
    if (!Thread::launch(thread, stack_size)) {
        DWORD error = GetLastError();
        CloseHandle(handle);
        return tarnwick::platform::fail(error, HANDLE{nullptr});
    }
    if (thread_id != nullptr) {
        *thread_id = thread->thread_id();
    }
    return handle;
}

DWORD ResumeThread(HANDLE handle) {
    auto thread = tarnwick::platform::lookup_as<Thread>(handle);
    if (!thread) {
        return static_cast<DWORD>(-1);
    }
    return thread->resume();
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exit_code) {
    auto thread = tarnwick::platform::lookup_as<Thread>(handle);
    if (!thread || exit_code == nullptr) {
        return tarnwick::platform::fail(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE,
                                        FALSE);
    }
    *exit_code = thread->exit_code();
    return TRUE;
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(syscall(SYS_gettid));
}
