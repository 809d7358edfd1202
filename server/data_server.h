#pragma once
// CDataServer: the heart of the service. It owns the receiver port with its reader, the port
// scanner, the store of the last valid fix and the three exchange channels through which clients
// talk to the service; its main thread serves batches of client requests, and every decoded
// sentence, scan step and end of input becomes a message on "data_stream".
//
// Threads that enter it: the process entry (construction, init, the final wait, destruction), the
// main thread (requests and the start-up reconnection), the reconnect thread, reader threads
// (through each reader's CInputLink) and scan threads (set).
//
// Lock order, which every path keeps so that no two threads wait for each other:
// - the active port and its reader are touched only under port_lock (PortAccess);
// - a reader is destroyed only after port_lock is released, never on its own thread, and nothing
//   a reader's callbacks need (the reconnection's lock) is held while waiting for a reader;
// - no callback of a reader or of a scan takes port_lock;
// - no thread of the service but the data stream queue's waits for the "data_stream" guard,
//   which a client may hold for any time: messages go through stream_queue, which only tries it
//   (data_stream_queue.h). So a stalled client delays the data stream, never a request, a
//   reader's destruction or the end of a scan.
//
// Stopping: stop_event also cuts short every wait of a probe, an input start and a receiver
// command of the active port (CPort::cancel_event), so that a stop never waits for them.

#include <atomic>
#include <cstdint>
#include <memory>

#include "exchange/byte_stream.h"
#include "exchange/exchange_buffer.h"
#include "exchange/memory_stream.h"
#include "fixstore/valid_rmc_holder.h"
#include "nmea/record.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"
#include "ports/port.h"
#include "ports/port_scanner.h"
#include "ports/scan_listener.h"
#include "protocol/object_names.h"
#include "protocol/request_codes.h"
#include "server/data_stream_queue.h"
#include "server/input_link.h"
#include "server/reconnection.h"

class CDataServer final : public CScanListener {
  public:
    static constexpr int channel_element_size = tarnwick::protocol::names::channel_element_size;
    static constexpr int channel_element_count = tarnwick::protocol::names::channel_element_count;
    // Room for the longest message the service composes (a record or a scan summary).
    static constexpr std::size_t message_buffer_size = 4096;
    static constexpr float valid_rmc_period_seconds = 60.0f;

    // Notifications on "data_stream" (the record ids 0 to 7 are the sentences').
    static constexpr std::int32_t ScanEvent = tarnwick::protocol::scan_event_id;
    static constexpr std::int32_t InputLost = tarnwick::protocol::input_lost_id;
    static constexpr std::int32_t InputEnded = tarnwick::protocol::input_ended_id;
    static constexpr std::int32_t Reconnected = tarnwick::protocol::reconnected_id;

    CDataServer();
    ~CDataServer() override;
    CDataServer(const CDataServer&) = delete;
    CDataServer& operator=(const CDataServer&) = delete;

    // Opens the channels, creates the events and starts the main thread; on false whatever was
    // created is released by the destructor.
    bool init(bool tstamp);
    // Waits until the main thread has ended (it ends once a stop was requested).
    void wait_main_thread();
    // Ends reconnection and the main thread: what a Quit request, a full data stream or a stop
    // signal of the process does.
    void request_stop();
    // Whether the service stopped because no client emptied "data_stream". Both that and a
    // Quit end the process with status 0, so the process entry says which on standard error.
    bool stopped_for_full_data_stream() const noexcept { return stream_overflowed.load(); }

    // A reader's decoded record (through its link, on the reader's thread).
    void on_message(int id, CNMEARecord* record);
    // A reader's end (through its link, on the reader's thread): 1 normal end, 0 failure.
    void set_state(CInputLink& link, int state);
    // A scan step (scan threads; the main thread for a parallel scan's first step).
    std::int32_t set(std::int32_t code, const wchar_t* port, std::int32_t value) override;

    // Serves the request at the front of `in`, appending its answer to `out`; false when not even
    // its code could be read.
    bool serve_request(GPS::istream& request, GPS::ostream& answer);

    // Port selection (port_selection.cpp). `name` holds at least 8 wide characters.
    bool get_last_used_port(wchar_t* name, std::int32_t& baud);
    // Makes the named port (null: the remembered one) the input and remembers it.
    bool try_setup_port(const wchar_t* name, std::int32_t baud);
    bool connect_last_used_port();
    void try_last_used_port();

    // Starts the reconnect thread or retargets the running one (reconnection.h).
    void try_reconnect(const wchar_t* name, std::int32_t baud) { reconnection.start(name, baud); }

  private:
    class PortAccess;

    // try_setup_port's work under port_lock; the last error tells why it failed.
    bool setup_port(PortAccess& access, const wchar_t* name, std::int32_t baud);

    // The data stream queue's overflow action: a record found the channel full.
    void stop_for_full_data_stream();

    static DWORD main_proc(LPVOID self);
    void run();
    void serve_batch();

    // One message on "data_stream", stored whole or not at all.
    void append_to_data_stream(const GPS::memory_ostream& message,
                               tarnwick::server::DataStreamQueue::Overflow overflow =
                                   tarnwick::server::DataStreamQueue::Overflow::ignored);
    void write_scan_summary(GPS::ostream& answer);

    // Request handlers (request_dispatcher.cpp).
    void enum_ports_request(GPS::ostream& answer);
    void connect_request(GPS::istream& request, GPS::ostream& answer);
    void connect_port_request(GPS::istream& request, GPS::ostream& answer);
    void disconnect_request(GPS::ostream& answer);
    void input_mode_request(GPS::ostream& answer);
    void open_file_request(GPS::istream& request, GPS::ostream& answer);
    void start_write_request(GPS::istream& request, GPS::ostream& answer);
    void stop_write_request(GPS::ostream& answer);
    void valid_rmc_request(GPS::ostream& answer);
    void restart_receiver_request(GPS::istream& request, GPS::ostream& answer);
    void connection_request(GPS::ostream& answer);
    void get_receiver_request(GPS::ostream& answer);
    void open_memory_request(GPS::istream& request, GPS::ostream& answer);
    void set_receiver_request(GPS::istream& request, GPS::ostream& answer);

    // Writes 1013 with the input mode of the reader now attached (data_stream_messages.cpp).
    void announce_reconnection();

    CPort active_port;
    // The link of active_port.io; both change together under port_lock.
    std::unique_ptr<CInputLink> active_link;
    CRITICAL_SECTION port_lock;
    GPS::unique_handle main_thread;
    GPS::unique_handle request_event;
    GPS::unique_handle answer_event;
    GPS::unique_handle stop_event;
    GPS::unique_handle data_stream_event;
    // Unnamed, auto-reset: a reader has ended and waits to be taken out by the main thread.
    GPS::unique_handle input_ended_event;
    GPS::exchange_buffer data_stream;
    tarnwick::server::DataStreamQueue stream_queue{data_stream};
    GPS::exchange_buffer in;
    GPS::exchange_buffer out;
    CRITICAL_SECTION request_lock;
    CPortScanner scanner;

    // Tries the lost port again through try_setup_port and announces the port's return.
    tarnwick::server::Reconnection reconnection;

    CValidRMCHolder valid_rmc;
    bool tstamp = false;
    // Set once a stop was asked for: records are no longer passed on.
    std::atomic<bool> stopping{false};
    // Set when a record did not fit into "data_stream" and so stopped the service.
    std::atomic<bool> stream_overflowed{false};
};
