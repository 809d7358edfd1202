#include "ports/port_scanner.h"

#include <algorithm>

#include "base/trace.h"
#include "platform/thread_support.h"
#include "ports/com_device_names.h"
#include "protocol/scan_event.h"

namespace {

// A wait that keeps failing although every handle can be waited on alone is retried after this
// pause rather than at once.
constexpr DWORD failed_wait_pause_ms = 50;

void close_event(std::atomic<HANDLE>& event) {
    if (const HANDLE handle = event.exchange(nullptr); handle != nullptr) {
        CloseHandle(handle);
    }
}

}  // namespace

CPortScanner::CPortScanner() : cancel_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CPortScanner::~CPortScanner() {
    stop();
    if (cancel_event != nullptr) {
        CloseHandle(cancel_event);
    }
}

bool CPortScanner::begin_scan(CScanListener* given) {
    bool idle = false;
    if (!busy.compare_exchange_strong(idle, true)) {
        trace(L"CPortScanner: a scan is running, request refused");
        return false;
    }
    listener = given;
    return true;
}

void CPortScanner::end_scan() {
    listener = nullptr;
    busy = false;
}

std::int32_t CPortScanner::announce(std::int32_t code, const wchar_t* port, std::int32_t value) {
    CScanListener* const current = listener.load();
    return current != nullptr ? current->set(code, port, value) : Proceed;
}

bool CPortScanner::enum_ports() {
    if (scanning()) {
        trace(L"CPortScanner::enum_ports: a scan is running, request refused");
        return false;
    }
    rebuild_ports();
    return true;
}

void CPortScanner::rebuild_ports() {
    trace(L"CPortScanner::enum_ports");
    ports.clear();
    DWORD length = 0;
    const DWORD sized = EnumDevices(nullptr, &length);
    if ((sized == ERROR_INSUFFICIENT_BUFFER || sized == ERROR_MORE_DATA) && length > 0) {
        std::vector<wchar_t> list(length);
        if (EnumDevices(list.data(), &length) == ERROR_SUCCESS) {
            const auto names =
                com_device_names(list.data(), std::min<std::size_t>(length, list.size()));
            ports.reserve(names.size());
            for (const std::wstring& device : names) {
                trace(L"CPortScanner::enum_ports: <%s> found", device.c_str());
                CPort& port = ports.emplace_back();
                port.set_name(device.c_str());
                port.cancel_event = cancel_event;
                port.nmea_mode = nmea_mode;
            }
        }
    }
    trace(L"CPortScanner::enum_ports: complete");
}

void CPortScanner::close_thread_handle() {
    if (thread != nullptr) {
        CloseHandle(thread);
        thread = nullptr;
    }
}

bool CPortScanner::scan_ports_parallel(CScanListener* given) {
    if (!begin_scan(given)) {
        return false;
    }
    announce(StartScan, nullptr, 0);
    rebuild_ports();
    start_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wait_handles[0] = stop_event.load();
    wait_count = 1;
    stop_pending = true;
    waiting_threads.clear();
    close_thread_handle();
    // The control thread exists before any port thread does: without it nobody could wait for
    // them, so a scan it cannot watch is ended before it probes anything.
    if (start_event.load() != nullptr && stop_event.load() != nullptr) {
        thread = CreateThread(nullptr, GPS::thread_stack_size, &CPortScanner::wait_proc_entry, this,
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    }
    if (thread == nullptr) {
        trace(L"CPortScanner::scan_ports_parallel: can't start, err = %d",
              static_cast<int>(GetLastError()));
        close_event(stop_event);
        close_event(start_event);
        announce(EndScan, nullptr, 0);
        end_scan();
        return true;
    }
    start_port_threads(start_event.load());
    EventModify(start_event.load(), EVENT_SET);
    return true;
}

void CPortScanner::start_port_threads(HANDLE start) {
    for (CPort& port : ports) {
        port.owner = this;
        const HANDLE port_thread = port.scan_port_async(start);
        if (port_thread == nullptr) {
            // The port is over before it began; nothing will wait for a thread that is not there.
            trace(L"CPortScanner::scan_ports_parallel: scan thread of %s not started, err = %d",
                  port.name, static_cast<int>(GetLastError()));
            port.notify(EndPortScan, 0);
            port.owner = nullptr;
        } else if (static_cast<std::size_t>(wait_count) < wait_table_size) {
            wait_handles[wait_count++] = port_thread;
        } else {
            waiting_threads.push_back(port_thread);
        }
    }
}

DWORD CPortScanner::wait_proc_entry(LPVOID self) {
    static_cast<CPortScanner*>(self)->wait_proc();
    return 0;
}

void CPortScanner::wait_proc() {
    trace(L"CPortScanner: wait proc started, thread = %p", GPS::current_thread_for_trace());
    WaitForSingleObject(start_event.load(), INFINITE);
    while (wait_count > (stop_pending ? 1 : 0)) {
        const DWORD result =
            WaitForMultipleObjects(static_cast<DWORD>(wait_count), wait_handles, FALSE, INFINITE);
        const auto index = static_cast<std::int32_t>(result - WAIT_OBJECT_0);
        if (result == WAIT_FAILED || index < 0 || index >= wait_count) {
            if (!drop_unwaitable_entries()) {
                Sleep(failed_wait_pause_ms);
            }
            continue;
        }
        if (index == 0 && stop_pending) {
            // From now on the ports report to nobody and every answer they get is Proceed.
            for (CPort& port : ports) {
                port.owner = nullptr;
            }
            remove_entry(0);
            stop_pending = false;
            continue;
        }
        retire_entry(index);
    }
    close_event(stop_event);
    close_event(start_event);
    announce(EndScan, nullptr, 0);
    end_scan();
}

void CPortScanner::remove_entry(std::int32_t index) {
    std::copy(wait_handles + index + 1, wait_handles + wait_count, wait_handles + index);
    --wait_count;
    wait_handles[wait_count] = nullptr;
}

void CPortScanner::retire_entry(std::int32_t index) {
    const HANDLE ended = wait_handles[index];
    for (CPort& port : ports) {
        if (port.scan_thread == ended) {
            port.scan_thread = nullptr;
        }
    }
    CloseHandle(ended);
    remove_entry(index);
    if (!waiting_threads.empty()) {
        wait_handles[wait_count++] = waiting_threads.front();
        waiting_threads.erase(waiting_threads.begin());
    }
}

bool CPortScanner::drop_unwaitable_entries() {
    bool dropped = false;
    for (std::int32_t index = stop_pending ? 1 : 0; index < wait_count;) {
        if (WaitForSingleObject(wait_handles[index], 0) == WAIT_FAILED) {
            trace(L"CPortScanner: wait proc can't wait on thread %p, err = %d", wait_handles[index],
                  static_cast<int>(GetLastError()));
            retire_entry(index);
            dropped = true;
        } else {
            ++index;
        }
    }
    return dropped;
}

HANDLE CPortScanner::scan_ports_sequential(CScanListener* given) {
    if (!begin_scan(given)) {
        return nullptr;
    }
    // The list is rebuilt here rather than on the scan thread, so that it stays as it is while
    // the scan runs and the caller's thread may read it meanwhile.
    rebuild_ports();
    close_thread_handle();
    thread = CreateThread(nullptr, GPS::thread_stack_size, &CPortScanner::scan_ports_proc_entry,
                          this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        trace(L"CPortScanner::scan_ports_sequential: can't start, err = %d",
              static_cast<int>(GetLastError()));
        end_scan();
    }
    return thread;
}

DWORD CPortScanner::scan_ports_proc_entry(LPVOID self) {
    static_cast<CPortScanner*>(self)->scan_ports_proc();
    return 0;
}

void CPortScanner::scan_ports_proc() {
    trace(L"CPortScanner: scan ports proc started, thread = %p", GPS::current_thread_for_trace());
    announce(StartScan, nullptr, 0);
    for (CPort& port : ports) {
        if (port.cancelled()) {
            break;
        }
        const std::int32_t answer = announce(StartPortScan, port.name, 0);
        if (answer == Skip) {
            continue;
        }
        if (answer == Stop) {
            break;
        }
        port.owner = this;
        port.scan_port();
        port.owner = nullptr;
        if (announce(EndPortScan, port.name, 0) == Stop) {
            break;
        }
    }
    announce(EndScan, nullptr, 0);
    end_scan();
}

void CPortScanner::stop() {
    if (cancel_event != nullptr) {
        EventModify(cancel_event, EVENT_SET);
    }
    if (const HANDLE event = stop_event.load(); event != nullptr) {
        EventModify(event, EVENT_SET);
    }
    // The list stays as it is while a scan runs, so its ports can be reached here.
    if (scanning()) {
        for (CPort& port : ports) {
            port.cut_short();
        }
    }
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = nullptr;
    }
    if (cancel_event != nullptr) {
        ResetEvent(cancel_event);
    }
}
