#pragma once
// Threads behind CreateThread: detached pthreads whose handle object outlives them, signalled
// (a futex word set to 1) when the thread's routine has returned.

#include <condition_variable>
#include <mutex>

#include "platform/waitable.h"

namespace tarnwick::platform {

class Thread final : public Waitable {
  public:
    Thread(LPTHREAD_START_ROUTINE start, LPVOID parameter, bool suspended);

    // Starts the pthread; false (last error set) when it cannot be created.
    static bool launch(const std::shared_ptr<Thread>& thread, SIZE_T stack_size);

    // Returns the suspend count before the call (0 for a running thread).
    DWORD resume();
    DWORD exit_code() const;
    // The kernel's id of the thread; waits until the thread has begun to run, which the creator
    // need not do when nobody asks for the id.
    DWORD thread_id();

    Acquisition try_acquire(WaitMemo& memo) override;
    bool prepare_sleep(FutexSleep& sleep, WaitMemo& memo) override;

  private:
    static void* trampoline(void* context);
    void run();

    LPTHREAD_START_ROUTINE start_;
    LPVOID parameter_;
    std::mutex suspension_mutex_;
    std::condition_variable resumed_;
    DWORD suspend_count_;
    std::atomic<DWORD> thread_id_{0};
    std::atomic<DWORD> exit_code_{STILL_ACTIVE};
    FutexWord ended_{0};
};

}  // namespace tarnwick::platform
