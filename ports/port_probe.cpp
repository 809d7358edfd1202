// Probing one port at one baud rate: open, line settings, time-outs, one read, and a reader
// that must decode a first sentence.

#include <algorithm>
#include <memory>

#include "base/trace.h"
#include "ports/port.h"
#include "ports/port_scanner.h"
#include "protocol/scan_event.h"

namespace {

// The read time-outs make the one-byte check of a silent line last 3 s; the reader relies on
// the same values to notice silence between sentences.
constexpr COMMTIMEOUTS probe_timeouts{
    20,    // ReadIntervalTimeout
    0,     // ReadTotalTimeoutMultiplier
    3000,  // ReadTotalTimeoutConstant
    10,    // WriteTotalTimeoutMultiplier
    1000,  // WriteTotalTimeoutConstant
};

const wchar_t* shown(const wchar_t* text) {
    return text != nullptr ? text : L"";
}

}  // namespace

HANDLE CPort::create_file(const wchar_t* port_name) {
    const HANDLE handle =
        CreateFileW(port_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    trace(L"CPort::create_file(%s): handle = %p", shown(port_name), handle);
    if (handle == INVALID_HANDLE_VALUE) {
        trace(L"CPort::create_file(%s): handle is ivalid, err = %d", shown(port_name),
              static_cast<int>(GetLastError()));
    }
    Sleep(0);
    return handle;
}

DWORD CPort::get_comm_state(HANDLE handle, DCB& dcb) {
    dcb = DCB{};
    dcb.DCBlength = sizeof(DCB);
    DWORD code = 0;
    for (int remaining = comm_state_attempts; remaining > 0; --remaining) {
        if (GetCommState(handle, &dcb)) {
            return 0;
        }
        code = GetLastError();
        if (code != ERROR_NOT_READY) {
            trace(L"CPort::get_comm_state(%p):  GetCommState failed with code = %d", handle,
                  static_cast<int>(code));
            break;
        }
        trace(
            L"CPort::get_comm_state(%p):  GetCommState failed with code = %d, %d attempts "
            L"remained",
            handle, static_cast<int>(code), remaining);
        Sleep(0);
    }
    return code;
}

void CPort::try_baud_rate(HANDLE handle, std::int32_t rate, std::int32_t byte_size,
                          std::int32_t parity, std::int32_t stop_bits) {
    // Every trace of a probe names the handle and the requested line settings.
    const auto report = [&](const wchar_t* format) {
        trace(format, handle, rate, byte_size, parity, stop_bits);
    };
    // A failed step closes the port, so that the next probe can open it again. The caller
    // learns from the last error why the step failed, not how the close went.
    const auto fail = [&](std::int32_t code, const wchar_t* format) {
        const DWORD reason = GetLastError();
        notify(code, rate);
        CloseHandle(handle);
        report(format);
        SetLastError(reason);
    };

    report(L"CPort::try_baud_rate(%p,%d,%d,%d,%d)");
    if (handle == INVALID_HANDLE_VALUE) {
        notify(InvalideHandle, 0);
        report(L"CPort::try_baud_rate(%p,%d,%d,%d,%d):  Invalid handle value");
        return;
    }
    notify(SetupPort, rate);

    DCB dcb;
    if (const DWORD code = get_comm_state(handle, dcb); code != 0) {
        notify(GetCommStateFailed, rate);
        CloseHandle(handle);
        trace(L"CPort::try_baud_rate(%p,%d,%d,%d,%d):  get_comm_state failed with code = %d",
              handle, rate, byte_size, parity, stop_bits, static_cast<int>(code));
        SetLastError(code);
        return;
    }
    // A driver already at the rate is left untouched; only the speed of the line ever changes.
    if (dcb.BaudRate != static_cast<DWORD>(rate)) {
        dcb.BaudRate = static_cast<DWORD>(rate);
        if (!SetCommState(handle, &dcb)) {
            fail(SetCommStateFailed, L"CPort::try_baud_rate(%p,%d,%d,%d,%d):  SetCommState failed");
            return;
        }
        // What the driver holds arrived at the old speed: a receiver talking at that speed
        // would otherwise count as answering at this one.
        PurgeComm(handle, PURGE_RXCLEAR);
    }
    COMMTIMEOUTS timeouts = probe_timeouts;
    if (!SetCommTimeouts(handle, &timeouts)) {
        fail(SetCommTimeoutsFailed,
             L"CPort::try_baud_rate(%p,%d,%d,%d,%d):  SetCommTimeouts failed");
        return;
    }
    // Only a failing call matters: a silent line times out with nothing, which is fine here.
    char byte = 0;
    DWORD got = 0;
    if (!probe_read(handle, byte, got)) {
        fail(ReadFileFailed, L"CPort::try_baud_rate(%p,%d,%d,%d,%d):  ReadFile failed");
        return;
    }

    io = std::make_unique<CNMEAIO>(handle, nmea_mode);
    if (!io->start_input(serial_start_timeout_ms, cancel_event)) {
        // Why no sentence came (ERROR_TIMEOUT for a silent line or one at another speed), which
        // the reader's destruction would otherwise overwrite.
        const DWORD reason = GetLastError();
        io.reset();
        notify(StartInputFailed, rate);
        report(L"CPort::try_baud_rate(%p,%d,%d,%d,%d):  start input failed");
        SetLastError(reason);
    }
    baud = static_cast<DWORD>(rate);
}

bool CPort::try_connect(const wchar_t* port_name, std::int32_t rate, std::int32_t byte_size,
                        std::int32_t parity, std::int32_t stop_bits) {
    if (io) {
        return false;
    }
    const HANDLE handle = create_file(port_name);
    if (handle == INVALID_HANDLE_VALUE) {
        trace(L"CPort::try_connect:  CreateFile <%s> failed", shown(port_name));
        return false;
    }
    try_baud_rate(handle, rate, byte_size, parity, stop_bits);
    if (!io) {
        return false;
    }
    set_name(port_name);
    // The driver may have settled on a rate of its own; the port reports what the line runs at.
    DCB dcb;
    if (get_comm_state(handle, dcb) == 0) {
        baud = dcb.BaudRate;
    }
    return true;
}

void CPort::set_name(const wchar_t* given) noexcept {
    std::fill(std::begin(name), std::end(name), L'\0');
    if (given == nullptr) {
        return;
    }
    for (std::size_t i = 0; i + 1 < name_size && given[i] != L'\0'; ++i) {
        name[i] = given[i];
    }
}
