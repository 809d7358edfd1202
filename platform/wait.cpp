// WaitForSingleObject and WaitForMultipleObjects (wait-any): take the lowest-indexed signalled
// object, else sleep on all their futex words at once (one word: the classic futex call) until
// a wake-up or the time-out; without futex_waitv, several objects sleep on their namespace's
// wake-up word instead (wake_word.h). A shared counter can take part as one more object
// (counter_wait.h).

#include <array>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/counter_wait.h"
#include "platform/last_error.h"
#include "platform/lock_word_watch.h"
#include "platform/mapping.h"
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

struct Taken {
    std::size_t index;
    Acquisition acquisition;
};

// The lowest-indexed object that could be taken, or nothing.
std::optional<Taken> take_first(WaitSet& set) {
    for (std::size_t i = 0; i < set.objects.size(); ++i) {
        Acquisition acquisition = set.objects[i]->try_acquire(set.memos[i]);
        if (acquisition != Acquisition::busy) {
            return Taken{i, acquisition};
        }
    }
    return std::nullopt;
}

bool prepare_all(WaitSet& set) {
    for (std::size_t i = 0; i < set.objects.size(); ++i) {
        if (!set.objects[i]->prepare_sleep(set.sleeps[i], set.memos[i])) {
            return false;
        }
    }
    return true;
}

// The word a wait without futex_waitv sleeps on: the namespace's of its named objects, else
// this process's own. Null when the objects belong to several namespaces, whose signals bump
// different words.
WakeWord* wake_word_for(const WaitSet& set) {
    WakeWord* chosen = nullptr;
    for (const auto& object : set.objects) {
        WakeWord* word = object->wake_word();
        if (word != nullptr && chosen != nullptr && word != chosen) {
            return nullptr;
        }
        if (word != nullptr) {
            chosen = word;
        }
    }
    return chosen != nullptr ? chosen : &process_wake_word();
}

// Several objects where the kernel cannot sleep on all their words: read the wake-up word,
// look at the objects, sleep on the word while it still holds what was read. A signal after
// the read changes the word, so the sleep either does not begin or is woken.
DWORD wait_on_wake_word(WaitSet& set, const MonotonicDeadline& deadline, bool no_wait) {
    WakeWord* word = wake_word_for(set);
    if (word == nullptr) {
        return fail(ERROR_NOT_SUPPORTED, WAIT_FAILED);
    }
    const WakeWordSleeper sleeper(*word);
    for (;;) {
        const std::uint32_t seen = sleeper.look();
        if (auto taken = take_first(set)) {
            return result_for(taken->acquisition, taken->index);
        }
        if (no_wait || deadline.passed()) {
            return WAIT_TIMEOUT;
        }
        if (!prepare_all(set)) {
            continue;
        }
        std::vector<std::unique_ptr<LockWordWatch>> watches;
        try {
            for (const auto& object : set.objects) {
                if (FutexWord* lock_word = object->owner_death_word()) {
                    watches.push_back(std::make_unique<LockWordWatch>(*lock_word));
                }
            }
        } catch (const std::system_error&) {
            return fail(ERROR_NOT_ENOUGH_MEMORY, WAIT_FAILED);
        }
        if (sleeper.sleep(seen, deadline).outcome == FutexOutcome::failed) {
            return fail_errno(WAIT_FAILED);
        }
    }
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
    WakeWord* wake_word() const override { return wake_word_of_view(&counter_); }

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
    const MonotonicDeadline deadline = MonotonicDeadline::after_ms(milliseconds);
    const bool no_wait = milliseconds == 0;
    if (set.objects.size() > 1 && multi_wait() == MultiWait::wake_word) {
        return wait_on_wake_word(set, deadline, no_wait);
    }
    // The object whose wake-up ended the last sleep, if any. (A plain index with a sentinel:
    // GCC 12 under ThreadSanitizer at -O1 takes an optional here for uninitialised.)
    constexpr std::size_t nobody = static_cast<std::size_t>(-1);
    std::size_t woken_by = nobody;
    for (;;) {
        if (auto taken = take_first(set)) {
            if (woken_by == taken->index) {
                set.objects[taken->index]->taken_after_sleep();
            } else if (woken_by != nobody) {
                set.objects[woken_by]->pass_on_wake();
            }
            return result_for(taken->acquisition, taken->index);
        }
        if (no_wait || deadline.passed()) {
            if (woken_by != nobody) {
                set.objects[woken_by]->pass_on_wake();
            }
            return WAIT_TIMEOUT;
        }
        // Going back to sleep keeps a wake-up that found its mutex taken again: preparing the
        // sleep marks the mutex as waited on, so its next release wakes a sleeper. Passing the
        // wake-up on instead would bounce it between sleepers until that release.
        woken_by = nobody;
        if (!prepare_all(set)) {
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
            case FutexOutcome::unsupported:
                return wait_on_wake_word(set, deadline, no_wait);
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
    announce_signal();
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
