#pragma once
// CPort: one serial (COM) port seen as a possible NMEA source, and the owner of the input that
// runs on it. The data server's port also takes the file-replay and shared-memory inputs
// (open_file, open_memory) into the same `io` field.
//
// Probing (port_probe.cpp) decides whether a receiver talks at a baud rate: a reader started on
// the open port must decode a sentence within 5 s. Scanning (port_scan.cpp) probes every rate of
// `baud_rates` and reports each step to the owner's listener, in the caller's thread or in a
// thread of the port's own.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

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
    // The rates a scan probes, in this order.
    static constexpr std::int32_t baud_rates[rate_slots] = {4800, 9600, 19200, 38400, 57600};
    // With the gnss setting on, a scan tries these after baud_rates: multi-system receivers
    // often run faster. Only the first rate_slots rates found are recorded.
    static constexpr std::int32_t gnss_baud_rates[2] = {115200, 230400};
    // How long a probe waits for the first decoded sentence.
    static constexpr DWORD serial_start_timeout_ms = 5000;
    // GetCommState attempts while the driver reports ERROR_NOT_READY.
    static constexpr int comm_state_attempts = 20;

    CPort() = default;
    // A move carries name, found_rates, io and baud; owner, scan_thread, start_event and
    // cancel_event of the target start empty.
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

    // Opens the port exclusively; INVALID_HANDLE_VALUE (last error set) when it cannot be opened.
    static HANDLE create_file(const wchar_t* port_name);
    // Reads the line settings into dcb: 0, or the platform error of the last attempt.
    static DWORD get_comm_state(HANDLE handle, DCB& dcb);
    // Probes the open port at rate; success leaves a running reader in `io`, every failure
    // leaves the handle closed (an invalid handle is left alone) and sends one failure event.
    // Only the baud rate is changed; the other line settings appear in the traces only.
    void try_baud_rate(HANDLE handle, std::int32_t rate, std::int32_t byte_size,
                       std::int32_t parity, std::int32_t stop_bits);
    // Opens the named port at rate with a running reader; false when an input is open already,
    // the port cannot be opened, or no sentence is decoded.
    bool try_connect(const wchar_t* port_name, std::int32_t rate, std::int32_t byte_size,
                     std::int32_t parity, std::int32_t stop_bits);
    // Probes every rate of baud_rates and records those that answered in found_rates; a
    // completed scan leaves the port closed.
    void scan_port();
    // Starts a thread that waits for start_event, then scans the port between StartPortScan and
    // EndPortScan. Returns its handle (also kept in scan_thread), or null when it could not start.
    HANDLE scan_port_async(HANDLE start_event);
    // The number of leading non-zero slots of found_rates.
    std::int32_t found_rate_count() const noexcept;
    // Keeps at most the first 5 characters of the given name.
    void set_name(const wchar_t* given) noexcept;

    // Destroys the input, if any (closing the port unless its handle was taken back); baud = 0.
    void release_io();
    // Passes a scan event to the owner's listener; Proceed when there is none.
    std::int32_t notify(std::int32_t code, std::int32_t value);
    // Whether cancel_event has been signalled.
    bool cancelled() const noexcept;
    // After cancel_event was signalled, from any thread: ends the probe's read of its first
    // byte at once, which would otherwise last out the line's 3 s read time-out.
    void cut_short();

    std::atomic<CPortScanner*> owner{nullptr};
    wchar_t name[name_size] = {};
    std::int32_t found_rates[rate_slots] = {};
    std::unique_ptr<CNMEAIO> io;
    HANDLE scan_thread = nullptr;
    HANDLE start_event = nullptr;
    // Not owned; may be null. Once signalled, a probe, an input start and the receiver
    // commands of the input give up at once, and a scan of the port probes no further rate.
    HANDLE cancel_event = nullptr;
    DWORD baud = 0;
    // How every input this port opens from now on decodes; gnss also widens a scan's rates.
    NMEAMode nmea_mode = NMEAMode::gps;

  private:
    // One rate of scan_port; false when the scan of the port ends here.
    bool scan_rate(std::int32_t rate, std::size_t& found);
    static DWORD scan_proc(LPVOID self);
    // The probe's one-byte read, which cut_short can end.
    BOOL probe_read(HANDLE handle, char& byte, DWORD& got);
    // The handle of the reader that answered, taken back so that the next rate reuses the open
    // port; the reader is destroyed.
    HANDLE take_back_handle();

    // The handle a probe reads from, while it reads; a move leaves the target's empty.
    std::mutex probe_lock_;
    HANDLE probe_reading_ = INVALID_HANDLE_VALUE;
};
