// WaitForSingleObject and WaitForMultipleObjects (wait-any): take the lowest-indexed signalled
// object, else sleep on all their futex words at once until a wake-up or the time-out. A shared
// counter can take part as one more object (counter_wait.h).

#include <array>
#include <vector>

#include "platform/counter_wait.h"
#include "platform/last_error.h"
#include "platform/tsan_annotations.h"
#include "platform/waitable.h"

namespace tarnwick::platform {
namespace {

struct WaitSet {
    std::vector<std::shared_ptr<Waitable>> objects;
    std::vector<WaitMemo> memos;
    std::vector<FutexSleep> sleeps;
};

DWORD result_for(Acquisition acquisition, std::size_t index) {
    DWORD base = acquisition == Acquisition::abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0;
    return base + static_cast<DWORD>(index);
}

// The lowest index that could be taken, or nothing.
std::optional<DWORD> take_first(WaitSet& set, std::optional<std::size_t> woken_by) {
    for (std::size_t i = 0; i < set.objects.size(); ++i) {
        Acquisition acquisition = set.objects[i]->try_acquire(set.memos[i]);
        if (acquisition == Acquisition::busy) {
            continue;
        }
        if (woken_by) {
            if (*woken_by == i) {
                set.objects[i]->taken_after_sleep();
            } else {
                set.objects[*woken_by]->pass_on_wake();
            }
        }
        return result_for(acquisition, i);
    }
    if (woken_by) {
        set.objects[*woken_by]->pass_on_wake();
    }
    return std::nullopt;
}

// A counter as a wait object: taken once it no longer holds the value the waiter saw.
class CounterChange final : public Waitable {
  public:
    CounterChange(SharedCounter& counter, std::uint32_t seen) : counter_(counter), seen_(seen) {}
    Acquisition try_acquire(WaitMemo& /*memo*/) override {
        if (counter_.load(std::memory_order_acquire) == seen_) {
            return Acquisition::busy;
        }
        tsan_acquire(&counter_);
        return Acquisition::taken;
    }
    bool prepare_sleep(FutexSleep& sleep, WaitMemo& /*memo*/) override {
        sleep = {&counter_, seen_};
        return true;
    }

  private:
    SharedCounter& counter_;
    const std::uint32_t seen_;
};

// The objects behind `handles`; false (ERROR_INVALID_HANDLE) when one is not a wait object.
bool look_up(DWORD count, const HANDLE* handles, WaitSet& set) {
    set.objects.reserve(count + 1);
    for (DWORD i = 0; i < count; ++i) {
        auto object = lookup_as<Waitable>(handles[i]);
        if (!object) {
            return false;
        }
        set.objects.push_back(std::move(object));
    }
    return true;
}

DWORD wait_any(WaitSet& set, DWORD milliseconds) {
    set.memos.resize(set.objects.size());
    set.sleeps.resize(set.objects.size());
    MonotonicDeadline deadline = MonotonicDeadline::after_ms(milliseconds);
    std::optional<std::size_t> woken_by;
    for (;;) {
        if (auto taken = take_first(set, woken_by)) {
            return *taken;
        }
        woken_by.reset();
        if (deadline.passed() || milliseconds == 0) {
            return WAIT_TIMEOUT;
        }
        bool ready_to_sleep = true;
        for (std::size_t i = 0; i < set.objects.size() && ready_to_sleep; ++i) {
            ready_to_sleep = set.objects[i]->prepare_sleep(set.sleeps[i], set.memos[i]);
        }
        if (!ready_to_sleep) {
            continue;
        }
        FutexResult slept = futex_sleep(set.sleeps, deadline);
        switch (slept.outcome) {
            case FutexOutcome::woken:
                woken_by = slept.woken_index;
                break;
            case FutexOutcome::changed:
            case FutexOutcome::timed_out:  // one last look before reporting the time-out
                break;
            case FutexOutcome::failed:
                return fail_errno(WAIT_FAILED);
        }
    }
}

}  // namespace

SharedCounter& shared_counter_at(void* address) noexcept {
    return *static_cast<SharedCounter*>(address);
}

std::uint32_t counter_value(const SharedCounter& counter) noexcept {
    return counter.load(std::memory_order_acquire);
}

void advance_counter(SharedCounter& counter) noexcept {
    tsan_release(&counter);
    counter.fetch_add(1, std::memory_order_acq_rel);
    futex_wake_all(&counter);
}

DWORD wait_for_objects_or_counter(DWORD count, const HANDLE* handles, SharedCounter& counter,
                                  std::uint32_t seen, DWORD milliseconds) {
    if (count > MAXIMUM_WAIT_OBJECTS - 1 || (count > 0 && handles == nullptr)) {
        return fail(ERROR_INVALID_PARAMETER, WAIT_FAILED);
    }
    WaitSet set;
    if (!look_up(count, handles, set)) {
        return WAIT_FAILED;  // ERROR_INVALID_HANDLE
    }
    set.objects.push_back(std::make_shared<CounterChange>(counter, seen));
    return wait_any(set, milliseconds);
}

}  // namespace tarnwick::platform

using tarnwick::platform::fail;

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                             DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr || wait_all != FALSE) {
        return fail(ERROR_INVALID_PARAMETER, WAIT_FAILED);
    }
    tarnwick::platform::WaitSet set;
    if (!tarnwick::platform::look_up(count, handles, set)) {
        return WAIT_FAILED;  // ERROR_INVALID_HANDLE
    }
    return tarnwick::platform::wait_any(set, milliseconds);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}
