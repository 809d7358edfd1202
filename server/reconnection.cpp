// Reconnection: a thread that keeps trying the last port until it answers again, a stop is
// asked for, or the server goes. The thread and its event belong to the server and are changed
// only under reconnect_lock; the event is closed only once the thread has ended, so nobody ever
// signals a closed event.

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>

#include "base/trace.h"
#include "exchange/memory_stream.h"
#include "nmea/field_io.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"
#include "server/data_server.h"
#include "server/port_access.h"

using tarnwick::nmea::write_field;

void CDataServer::try_reconnect(const wchar_t* name, std::int32_t baud) {
    trace(L"CDataServer::try_reconnect: %s at %d", name != nullptr ? name : L"", baud);
    GPS::scoped_critical_section hold(reconnect_lock);
    std::fill(std::begin(reconnect_port), std::end(reconnect_port), L'\0');
    std::wcsncpy(reconnect_port, name != nullptr ? name : L"", reconnect_port_size - 1);
    reconnect_baud = baud;
    if (reconnect_refused || (reconnect_thread != nullptr && !reconnect_finished)) {
        return;
    }
    release_finished_reconnection();
    reconnect_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (reconnect_event == nullptr) {
        trace(L"CDataServer::try_reconnect: CreateEvent failed, no reconnection");
        return;
    }
    reconnect_finished = false;
    reconnect_thread = CreateThread(nullptr, GPS::thread_stack_size, &CDataServer::reconnect_proc,
                                    this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (reconnect_thread == nullptr) {
        trace(L"CDataServer::try_reconnect: CreateThread failed, no reconnection");
        CloseHandle(reconnect_event);
        reconnect_event = nullptr;
    }
}

void CDataServer::stop_reconnection() {
    GPS::scoped_critical_section hold(reconnect_lock);
    if (reconnect_event != nullptr) {
        EventModify(reconnect_event, EVENT_SET);
    }
}

void CDataServer::end_reconnection() {
    HANDLE thread = nullptr;
    {
        GPS::scoped_critical_section hold(reconnect_lock);
        reconnect_refused = true;
        if (reconnect_event != nullptr) {
            EventModify(reconnect_event, EVENT_SET);
        }
        thread = reconnect_thread;
    }
    // The thread takes reconnect_lock once more at its end: wait outside it.
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
    }
    GPS::scoped_critical_section hold(reconnect_lock);
    release_finished_reconnection();
}

void CDataServer::release_finished_reconnection() {
    if (reconnect_thread != nullptr) {
        // The thread has said it is done; this only waits for its last instructions.
        WaitForSingleObject(reconnect_thread, INFINITE);
        CloseHandle(reconnect_thread);
        reconnect_thread = nullptr;
    }
    if (reconnect_event != nullptr) {
        CloseHandle(reconnect_event);
        reconnect_event = nullptr;
    }
}

DWORD CDataServer::reconnect_proc(LPVOID self) {
    trace(L"CDataServer: reconnect proc started, thread = %p", GPS::current_thread_for_trace());
    auto* const server = static_cast<CDataServer*>(self);
    server->reconect_proc();
    GPS::scoped_critical_section hold(server->reconnect_lock);
    server->reconnect_finished = true;
    return 0;
}

DWORD CDataServer::reconect_proc() {
    wchar_t port[reconnect_port_size] = {};
    std::int32_t baud = 0;
    HANDLE stop = nullptr;
    auto read_target = [&] {
        GPS::scoped_critical_section hold(reconnect_lock);
        std::copy(std::begin(reconnect_port), std::end(reconnect_port), std::begin(port));
        baud = reconnect_baud;
        stop = reconnect_event;
    };
    read_target();
    trace(L"CDataServer::reconect_proc: %s  %d", port, baud);
    std::int32_t remaining = reconnect_fast_attempts;
    for (;;) {
        const DWORD period = remaining > 0 ? reconnect_fast_period_ms : reconnect_slow_period_ms;
        if (WaitForSingleObject(stop, period) == WAIT_OBJECT_0) {
            break;
        }
        // A retarget while the thread runs counts from the next attempt on.
        read_target();
        if (try_setup_port(port, baud)) {
            announce_reconnection();
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

void CDataServer::announce_reconnection() {
    std::uint32_t mode = 0;
    {
        PortAccess access(*this);
        mode = access.input_mode();
    }
    unsigned char buffer[2 * sizeof(std::int32_t)];
    GPS::memory_ostream message(buffer, sizeof buffer);
    write_field(message, Reconnected);
    write_field(message, static_cast<std::int32_t>(mode));
    append_to_data_stream(message);
    trace(L"CDataServer::reconect_proc: success");
}
