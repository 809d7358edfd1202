#include "ports/port.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "base/trace.h"
#include "ports/port_scanner.h"

CPort::CPort(CPort&& other) noexcept
    : io(std::move(other.io)), baud(other.baud), nmea_mode(other.nmea_mode) {
    std::copy(std::begin(other.name), std::end(other.name), std::begin(name));
    std::copy(std::begin(other.found_rates), std::end(other.found_rates), std::begin(found_rates));
}

CPort& CPort::operator=(CPort&& other) noexcept {
    if (this != &other) {
        release_io();
        io = std::move(other.io);
        baud = other.baud;
        nmea_mode = other.nmea_mode;
        std::copy(std::begin(other.name), std::end(other.name), std::begin(name));
        std::copy(std::begin(other.found_rates), std::end(other.found_rates),
                  std::begin(found_rates));
        owner = nullptr;
        scan_thread = nullptr;
        start_event = nullptr;
        cancel_event = nullptr;
    }
    return *this;
}

CPort::~CPort() {
    release_io();
}

void CPort::release_io() {
    io.reset();
    baud = 0;
}

std::int32_t CPort::notify(std::int32_t code, std::int32_t value) {
    // The scanner may drop the port from its scan at any moment: each pointer is read once.
    CPortScanner* const scanner = owner.load();
    CScanListener* const listener = scanner != nullptr ? scanner->listener.load() : nullptr;
    if (listener == nullptr) {
        return Proceed;
    }
    return listener->set(code, name, value);
}

bool CPort::cancelled() const noexcept {
    return cancel_event != nullptr && WaitForSingleObject(cancel_event, 0) == WAIT_OBJECT_0;
}

void CPort::cut_short() {
    const std::lock_guard<std::mutex> hold(probe_lock_);
    if (probe_reading_ != INVALID_HANDLE_VALUE) {
        PurgeComm(probe_reading_, PURGE_RXABORT);
    }
}

BOOL CPort::probe_read(HANDLE handle, char& byte, DWORD& got) {
    {
        const std::lock_guard<std::mutex> hold(probe_lock_);
        probe_reading_ = handle;
    }
    // An abort that comes before the read starts ends it as soon as it does.
    const BOOL read = cancelled() ? TRUE : ReadFile(handle, &byte, 1, &got, nullptr);
    const std::lock_guard<std::mutex> hold(probe_lock_);
    probe_reading_ = INVALID_HANDLE_VALUE;
    return read;
}

bool CPort::open_file(const wchar_t* path, std::int32_t loop, float speed) {
    const wchar_t* const shown = path != nullptr ? path : L"";
    const double shown_speed = speed;
    if (io) {
        trace(L"CPort::open_file(%s,%s,%.2f): IO already exists", shown, L"", shown_speed);
        return false;
    }
    io = std::make_unique<CNMEAIO>(shown, loop != 0, speed, nmea_mode);
    if (!io->start_input(file_start_timeout_ms, cancel_event)) {
        io.reset();
        trace(L"CPort::open_file(%s,%s,%.2f): can't start input", shown, L"", shown_speed);
        return false;
    }
    trace(L"CPort::open_file(%s,%s,%.2f): Ok", shown, L"", shown_speed);
    return true;
}

bool CPort::open_memory(const wchar_t* name_of_producer) {
    const wchar_t* const shown = name_of_producer != nullptr ? name_of_producer : L"";
    if (io) {
        trace(L"CPort::open_memory(%s): IO already exists", shown);
        return false;
    }
    io = std::make_unique<CNMEAIO>(shown, nmea_mode);
    if (!io->start_input(memory_start_timeout_ms, cancel_event)) {
        io.reset();
        trace(L"CPort::open_memory(%s): can't start input", shown);
        return false;
    }
    trace(L"CPort::open_memory(%s): Ok", shown);
    return true;
}
