// Scanning one port: every rate of the probe table in order, reported step by step to the
// owner's listener, in the caller's thread or in a thread of the port's own.

#include "base/trace.h"
#include "platform/thread_support.h"
#include "ports/port.h"
#include "ports/scan_listener.h"
#include "protocol/scan_event.h"

HANDLE CPort::take_back_handle() {
    const HANDLE handle = io->port.exchange(INVALID_HANDLE_VALUE);
    release_io();
    return handle;
}

void CPort::scan_port() {
    std::size_t found = 0;
    // False when the probing of this port ends here: a Stop answer or a port that cannot open.
    const auto probe = [&](const auto& rates) {
        for (const std::int32_t rate : rates) {
            // A stopped scan probes no further rate; what was found so far stays.
            if (cancelled()) {
                break;
            }
            if (!scan_rate(rate, found)) {
                return false;
            }
        }
        return true;
    };
    if (!probe(baud_rates)) {
        return;
    }
    if (nmea_mode == NMEAMode::gnss && !probe(gnss_baud_rates)) {
        return;
    }
    release_io();
}

bool CPort::scan_rate(std::int32_t rate, std::size_t& found) {
    // A rate that answered leaves the port open: the next rate goes on with its handle.
    const HANDLE handle = io ? take_back_handle() : create_file(name);
    if (handle == INVALID_HANDLE_VALUE) {
        notify(CreateFileFailed, 0);
        return false;
    }
    // With every slot taken (only the gnss setting's extra rates can get there) a rate is still
    // probed and reported, but not recorded.
    std::int32_t unrecorded = 0;
    std::int32_t& slot = found < rate_slots ? found_rates[found] : unrecorded;
    slot = rate;
    const std::int32_t answer = notify(StartTryBaudRate, rate);
    if (answer == Skip || answer == Stop) {
        slot = 0;
        CloseHandle(handle);
        return answer != Stop;
    }
    try_baud_rate(handle, rate, 8, 0, 0);
    const bool answered = io != nullptr;
    if (answered) {
        found += found < rate_slots ? 1 : 0;
    } else {
        slot = 0;
    }
    return notify(EndTryBaudRate, answered ? rate : -rate) != Stop;
}

std::int32_t CPort::found_rate_count() const noexcept {
    std::int32_t count = 0;
    while (count < static_cast<std::int32_t>(rate_slots) && found_rates[count] != 0) {
        ++count;
    }
    return count;
}

HANDLE CPort::scan_port_async(HANDLE start) {
    trace(L"CPort::scan_port_async(%s)", name);
    start_event = start;
    scan_thread = CreateThread(nullptr, GPS::thread_stack_size, &CPort::scan_proc, this,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    return scan_thread;
}

DWORD CPort::scan_proc(LPVOID parameter) {
    CPort* const self = static_cast<CPort*>(parameter);
    trace(L"CPort: scan proc started, thread = %p", GPS::current_thread_for_trace());
    const HANDLE released[] = {self->start_event, self->cancel_event};
    WaitForMultipleObjects(self->cancel_event != nullptr ? 2 : 1, released, FALSE, INFINITE);
    const std::int32_t answer = self->notify(StartPortScan, 0);
    if (answer == Skip || answer == Stop) {
        return 0;
    }
    self->scan_port();
    self->notify(EndPortScan, self->found_rate_count());
    self->owner = nullptr;
    return 0;
}
