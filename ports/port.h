#pragma once
// CPort: one serial (COM) port seen as a possible NMEA source, and the owner of the input that
// runs on it. The data server's port also takes the file-replay and shared-memory inputs
// (open_file, open_memory) into the same `io` field.

#include <atomic>
#include <cstdint>
#include <memory>

#include "nmeaio/nmea_io.h"
#include "platform/win32.h"

class CPortScanner;

class CPort {
  public:
    // At most 5 characters ("COM1:") and always terminated.
    static constexpr std::size_t name_size = 6;
    static constexpr std::size_t rate_slots = 5;
    static constexpr DWORD file_start_timeout_ms = 5000;
    static constexpr DWORD memory_start_timeout_ms = 60000;

    CPort() = default;
    // A move carries name, found_rates, io and baud; owner, scan_thread and start_event of the
    // target start empty.
    CPort(CPort&& other) noexcept;
    CPort& operator=(CPort&& other) noexcept;
    CPort(const CPort&) = delete;
    CPort& operator=(const CPort&) = delete;
    ~CPort();

    // Replays the NMEA file at path as the input; false when an input is open already or the
    // replay does not decode a sentence within 5 s.
    bool open_file(const wchar_t* path, std::int32_t loop, float speed);
    // Takes the NMEA text of the named shared-memory producer as the input; false when an input
    // is open already or the producer publishes nothing decodable within 60 s.
    bool open_memory(const wchar_t* name);

    // Destroys the input, if any (closing the port unless its handle was taken back); baud = 0.
    void release_io();
    // Passes a scan event to the owner's listener; Proceed when there is none.
    std::int32_t notify(std::int32_t code, std::int32_t value);

    std::atomic<CPortScanner*> owner{nullptr};
    wchar_t name[name_size] = {};
    std::int32_t found_rates[rate_slots] = {};
    std::unique_ptr<CNMEAIO> io;
    HANDLE scan_thread = nullptr;
    HANDLE start_event = nullptr;
    DWORD baud = 0;
};
