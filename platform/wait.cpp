// WaitForSingleObject and WaitForMultipleObjects (wait-any): take the lowest-indexed signalled
// object, else sleep on all their futex words at once until a wake-up or the time-out.

#include <array>
#include <vector>

#include "platform/last_error.h"
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

DWORD wait_any(WaitSet& set, DWORD milliseconds) {
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
}  // namespace tarnwick::platform

using tarnwick::platform::fail;

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                             DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr || wait_all != FALSE) {
        return fail(ERROR_INVALID_PARAMETER, WAIT_FAILED);
    }
    tarnwick::platform::WaitSet set;
    set.objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto object = tarnwick::platform::lookup_as<tarnwick::platform::Waitable>(handles[i]);
        if (!object) {
            return WAIT_FAILED;  // ERROR_INVALID_HANDLE
        }
        set.objects.push_back(std::move(object));
    }
    set.memos.resize(count);
    set.sleeps.resize(count);
    return tarnwick::platform::wait_any(set, milliseconds);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}
