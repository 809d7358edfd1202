#include "fixstore/valid_rmc_holder.h"

#include <cmath>
#include <cstdint>

#include "base/trace.h"
#include "base/utf8.h"
#include "platform/namespace.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"

namespace {

constexpr char valid_fix = 'A';

// The period in whole milliseconds, at least 1 so that the thread never spins, at most a day.
DWORD period_milliseconds(float seconds) {
    const float milliseconds = seconds * 1000.0f;
    if (!(milliseconds >= 1.0f)) {
        return 1;
    }
    return milliseconds < 86400000.0f ? static_cast<DWORD>(milliseconds) : 86400000;
}

std::wstring state_directory_with_separator() {
    std::wstring directory = tarnwick::from_utf8(tarnwick::platform::state_directory().string());
    if (directory.empty() || directory.back() != L'/') {
        directory.push_back(L'/');
    }
    return directory;
}

void* thread_id_for_trace() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(GetCurrentThreadId()));
}

}  // namespace

CValidRMCHolder::CValidRMCHolder(float period_seconds)
    : files_(state_directory_with_separator()), period_(period_milliseconds(period_seconds)) {
    InitializeCriticalSection(&rmc_lock_);
    init_names();
    init_rmc();
    init_thread();
}

CValidRMCHolder::~CValidRMCHolder() {
    stop();
    stop_event_.reset();
    force_update_event_.reset();
    DeleteCriticalSection(&rmc_lock_);
}

void CValidRMCHolder::stop() {
    if (stop_event_) {
        EventModify(stop_event_.get(), EVENT_SET);
    }
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
}

void CValidRMCHolder::init_names() {
    trace(L"CValidRMCHolder::init_names: %s,%s", files_.prev_name().c_str(),
          files_.curr_name().c_str());
}

void CValidRMCHolder::init_rmc() {
    CRMCRecord loaded;
    if (!files_.load(loaded)) {
        trace(L"CValidRMCHolder::init_rmc: no apropriate file");
        return;
    }
    {
        GPS::scoped_critical_section lock(rmc_lock_);
        rmc_.assign(loaded);
    }
    saved_ = true;
    valid_ = true;
    trace(L"CValidRMCHolder::init_rmc: from");
}

void CValidRMCHolder::init_thread() {
    trace(L"CValidRMCHolder::init_thread");
    stop_event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_event_) {
        return;
    }
    trace(L"CValidRMCHolder::init_thread:  stop event innitialized");
    force_update_event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!force_update_event_) {
        return;
    }
    trace(L"CValidRMCHolder::init_thread:  force update event innitialized");
    thread_.reset(CreateThread(nullptr, GPS::thread_stack_size, &CValidRMCHolder::thread_proc, this,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (thread_) {
        trace(L"CValidRMCHolder::init_thread:  thread innitialized");
        trace(L"CValidRMCHolder::init_thread:  Ok");
    }
}

DWORD CValidRMCHolder::thread_proc(LPVOID self) {
    trace(L"CValidRMCHolder: proc started, thread = %p", thread_id_for_trace());
    static_cast<CValidRMCHolder*>(self)->run();
    return 0;
}

void CValidRMCHolder::run() {
    const HANDLE events[] = {stop_event_.get(), force_update_event_.get()};
    for (;;) {
        const DWORD wait = WaitForMultipleObjects(2, events, FALSE, period_);
        if (wait != WAIT_TIMEOUT) {
            if (!saved_) {
                save();
            }
            if (wait == WAIT_OBJECT_0) {
                break;
            }
            if (wait == WAIT_FAILED) {
                // Waiting again would fail at once, forever; without a wait the thread can only
                // spin, so it ends after saving what it holds.
                trace(L"CValidRMCHolder::run: wait failed, error %d",
                      static_cast<int>(GetLastError()));
                break;
            }
        }
        if (InterlockedCompareExchange(&save_gate, 0, 0) == 0 && !saved_) {
            save();
        }
    }
    trace(L"CValidRMCHolder::run: Bye!!!");
}

void CValidRMCHolder::save() {
    CRMCRecord copy;
    {
        GPS::scoped_critical_section lock(rmc_lock_);
        copy.assign(rmc_);
        // Marked together with the copy: a record that arrives while the file is written clears
        // the mark again and is saved on the next occasion.
        if (copy.status == valid_fix) {
            saved_ = true;
        }
    }
    if (copy.status != valid_fix) {
        return;
    }
    if (!files_.save(copy)) {
        trace(L"CValidRMCHolder::save: %s not written", files_.curr_name().c_str());
        saved_ = false;
    }
}

void CValidRMCHolder::update_rmc(const CRMCRecord& record) {
    if (record.status == valid_fix) {
        GPS::scoped_critical_section lock(rmc_lock_);
        rmc_.assign(record);
        saved_ = false;
        if (!valid_) {
            set_force_update();
        }
        valid_ = true;
    } else if (valid_) {
        set_force_update();
        valid_ = false;
    }
}

void CValidRMCHolder::get_rmc(CRMCRecord& out) {
    GPS::scoped_critical_section lock(rmc_lock_);
    out.assign(rmc_);
}

void CValidRMCHolder::set_force_update() {
    if (force_update_event_) {
        EventModify(force_update_event_.get(), EVENT_SET);
    }
}
