#pragma once
// CPortScanner: the serial ports of the machine and their scans. A parallel scan probes every
// port in a thread of its own, all released at once, watched by a control thread (wait_proc); a
// sequential scan probes one port after another in a single thread (scan_ports_proc). Every step
// reaches the listener as a scan event, from StartScan to exactly one EndScan; after EndScan
// each port's found_rates tell at which rates a receiver answered, until the next enumeration.
//
// One scan at a time: while a scan runs, its threads use the ports, so enum_ports and the start
// of another scan are refused (scanning() tells). The listener is called from several threads
// at once and serialises its own work.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32.h"
#include "ports/port.h"
#include "ports/scan_listener.h"

class CPortScanner {
  public:
    // Port threads one wait of the control thread watches; the table's first entry is the stop
    // event. More ports are still probed at the same time: their threads join the table as
    // earlier ones end.
    static constexpr std::size_t watched_threads = 14;
    static constexpr std::size_t wait_table_size = watched_threads + 1;

    CPortScanner();
    CPortScanner(const CPortScanner&) = delete;
    CPortScanner& operator=(const CPortScanner&) = delete;
    // Stops a running scan (waiting for its threads), then destroys the ports.
    virtual ~CPortScanner();

    // Rebuilds `ports` from the platform's device list; false (and nothing changed) while a
    // scan runs.
    bool enum_ports();
    // Starts a parallel scan reporting to listener (may be null); false when a scan runs
    // already, in which case nothing is sent.
    bool scan_ports_parallel(CScanListener* listener);
    // Starts a sequential scan; the handle of its thread (owned by the scanner), or null when a
    // scan runs already or the thread could not start.
    HANDLE scan_ports_sequential(CScanListener* listener);
    // Ends a running scan and waits until its threads have ended: the probes give up at once
    // (their waits take the scanner's cancel event), no further rate or port is probed, and the
    // ports of a parallel scan report to nobody any more. EndScan still comes, with what was
    // found so far. The next scan starts afresh.
    void stop();
    // True from the start of a scan until its control thread has sent EndScan.
    bool scanning() const noexcept { return busy.load(); }

    std::vector<CPort> ports;
    // Given to every port enum_ports makes: how a scan decodes and which rates it tries.
    NMEAMode nmea_mode = NMEAMode::gps;
    // Created for a parallel scan, closed by its control thread at the end.
    std::atomic<HANDLE> start_event{nullptr};
    std::atomic<HANDLE> stop_event{nullptr};
    HANDLE thread = nullptr;
    HANDLE wait_handles[wait_table_size] = {};
    std::int32_t wait_count = 0;
    // Set while a scan runs; the ports read it from their threads.
    std::atomic<CScanListener*> listener{nullptr};

  private:
    // Claims the scanner for a new scan; false when one runs.
    bool begin_scan(CScanListener* given);
    // Clears the listener and lets the next scan start.
    void end_scan();
    // Passes an event to the listener; Proceed without one.
    std::int32_t announce(std::int32_t code, const wchar_t* port, std::int32_t value);
    void rebuild_ports();
    void close_thread_handle();
    // Starts the port threads: the first ones into wait_handles, the rest into waiting_threads.
    void start_port_threads(HANDLE start);

    static DWORD wait_proc_entry(LPVOID self);
    static DWORD scan_ports_proc_entry(LPVOID self);
    void wait_proc();
    void scan_ports_proc();
    // Handles a port thread that ended (or whose handle can no longer be waited on): clears the
    // port's scan_thread, closes the handle, and lets a waiting thread take the free entry.
    void retire_entry(std::int32_t index);
    void remove_entry(std::int32_t index);
    // After a failed wait: drops entries that cannot be waited on; false when there were none.
    bool drop_unwaitable_entries();
    bool stop_pending = false;
    // Manual-reset, owned: set by stop until the scan's threads have ended; every port's
    // cancel_event.
    HANDLE cancel_event = nullptr;

    // Port threads of a parallel scan that are not yet in wait_handles, in list order.
    std::vector<HANDLE> waiting_threads;
    std::atomic<bool> busy{false};
};
