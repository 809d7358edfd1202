#include "server/reconnection.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <utility>

#include "base/trace.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"

namespace tarnwick::server {

Reconnection::Reconnection(Attempt attempt, std::function<void()> succeeded)
    : attempt_(std::move(attempt)), succeeded_(std::move(succeeded)) {
    InitializeCriticalSection(&lock_);
}

Reconnection::~Reconnection() {
    end();
    DeleteCriticalSection(&lock_);
}

void Reconnection::start(const wchar_t* port, std::int32_t baud) {
    trace(L"CDataServer::try_reconnect: %s at %d", port != nullptr ? port : L"", baud);
    GPS::scoped_critical_section hold(lock_);
    std::fill(std::begin(port_), std::end(port_), L'\0');
    std::wcsncpy(port_, port != nullptr ? port : L"", port_size - 1);
    baud_ = baud;
    if (refused_ || (thread_ && !finished_)) {
        return;
    }
    release_finished();
    event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event_) {
        trace(L"CDataServer::try_reconnect: CreateEvent failed, no reconnection");
        return;
    }
    finished_ = false;
    thread_.reset(CreateThread(nullptr, GPS::thread_stack_size, &Reconnection::reconnect_proc, this,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread_) {
        trace(L"CDataServer::try_reconnect: CreateThread failed, no reconnection");
        event_.reset();
    }
}

void Reconnection::stop() {
    GPS::scoped_critical_section hold(lock_);
    if (event_) {
        EventModify(event_.get(), EVENT_SET);
    }
}

void Reconnection::end() {
    HANDLE thread = nullptr;
    {
        GPS::scoped_critical_section hold(lock_);
        refused_ = true;
        if (event_) {
            EventModify(event_.get(), EVENT_SET);
        }
        thread = thread_.get();
    }
    // The thread takes the lock once more at its end: wait outside it.
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
    }
    GPS::scoped_critical_section hold(lock_);
    release_finished();
}

void Reconnection::release_finished() {
    if (thread_) {
        // The thread has said it is done; this only waits for its last instructions.
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    event_.reset();
}

DWORD Reconnection::reconnect_proc(LPVOID self) {
    trace(L"CDataServer: reconnect proc started, thread = %p", GPS::current_thread_for_trace());
    auto* const reconnection = static_cast<Reconnection*>(self);
    reconnection->reconect_proc();
    GPS::scoped_critical_section hold(reconnection->lock_);
    reconnection->finished_ = true;
    return 0;
}

DWORD Reconnection::reconect_proc() {
    wchar_t port[port_size] = {};
    std::int32_t baud = 0;
    HANDLE stop = nullptr;
    auto read_target = [&] {
        GPS::scoped_critical_section hold(lock_);
        std::copy(std::begin(port_), std::end(port_), std::begin(port));
        baud = baud_;
        stop = event_.get();
    };
    read_target();
    trace(L"CDataServer::reconect_proc: %s  %d", port, baud);
    std::int32_t remaining = fast_attempts;
    for (;;) {
        const DWORD period = remaining > 0 ? fast_period_ms : slow_period_ms;
        if (WaitForSingleObject(stop, period) == WAIT_OBJECT_0) {
            break;
        }
        // A retarget while the thread runs counts from the next attempt on.
        read_target();
        if (attempt_(port, baud)) {
            succeeded_();
            break;
        }
        if (remaining > 0) {
            --remaining;
            trace(L"CDataServer::reconnect_proc: f%d attempt remained", remaining);
        }
    }
    trace(L"CDataServer::reconect_proc: end");
    return 0;
}

}  // namespace tarnwick::server
