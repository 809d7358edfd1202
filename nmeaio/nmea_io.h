#pragma once
// CNMEAIO: one NMEA input source and the threads around it. A serial port, a replayed file or
// a shared-memory producer feeds its reader thread, which assembles sentences, records each one
// (when recording) and parses it for the listener. A serial source also has a command writer
// thread that sends receiver commands.
//
// Lifetime: every constructor leaves the reader thread suspended; start_input lets it run. The
// reader reports the end of its input through the listener's set_state, on its own thread, and
// the listener may destroy the reader right there. Destruction from any other thread stops the
// reader and waits until its thread has ended: every wait of a reader ends promptly on a stop
// (the replay pause and the shared-memory waits wait on the stop event, a pending serial read is
// aborted). Destruction on the reader thread itself stops and joins the writer thread and
// releases the rest; the reader thread touches nothing of the object after set_state.
//
// The listener is replaced with set_listener, from any thread; the reader calls the listener
// only under a lock that set_listener takes as well, so a listener that has been replaced is
// never inside a call afterwards.
//
// An end of the input is never lost: when it comes while nobody but the reader's own start or
// query listener listens (during start_input, a receiver query, or before the owner installed
// its listener), the reader thread holds it and reports it to the next listener installed. A
// destruction discards it.

#include <atomic>
#include <cstdint>
#include <memory>

#include "exchange/mapped_ofstream.h"
#include "nmea/listener.h"
#include "nmea/parser.h"
#include "nmeaio/input_source.h"
#include "nmeaio/listener_lock.h"
#include "nmeaio/sentence_assembler.h"
#include "nmeaio/serial_source.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"
#include "protocol/request_codes.h"

class CReceiverListener;

// Flags of CNMEAIO::input_mode, reported to clients as a 32-bit integer.
constexpr std::uint32_t INPUT_SERIAL = tarnwick::protocol::input_serial;
constexpr std::uint32_t INPUT_FILE = tarnwick::protocol::input_file;
constexpr std::uint32_t INPUT_RECORDING = tarnwick::protocol::input_recording;
constexpr std::uint32_t INPUT_MEMORY = tarnwick::protocol::input_memory;

class CNMEAIO {
  public:
    static constexpr std::size_t receive_buffer_size = CSerialSource::receive_buffer_size;
    static constexpr std::size_t output_size = CSerialSource::output_size;

    // Every source decodes in `mode` (nmea_mode.h) for its whole life.
    // A serial source over an open, configured port; the object owns the handle.
    explicit CNMEAIO(HANDLE serial_port, NMEAMode mode = NMEAMode::gps);
    // A replay of the NMEA file at path; opened by start_input. See replay_pace.h for speed.
    CNMEAIO(const wchar_t* path, bool loop, float speed, NMEAMode mode = NMEAMode::gps);
    // The shared-memory producer with this base name. When one of its objects cannot be opened
    // (or the name is longer than 47 characters) the object has no reader thread and
    // start_input fails.
    explicit CNMEAIO(const wchar_t* memory_name, NMEAMode mode = NMEAMode::gps);
    virtual ~CNMEAIO();
    CNMEAIO(const CNMEAIO&) = delete;
    CNMEAIO& operator=(const CNMEAIO&) = delete;

    // Lets the reader run and waits up to timeout_ms for the first decoded sentence. Called
    // once. On false the owner destroys the object. `cancel` (not owned, may be null) cuts that
    // wait short, and later the waits of flush and the receiver commands: the owner keeps it
    // open for the life of the object. A false start leaves in the last error why no sentence
    // came: ERROR_TIMEOUT when none was decoded in time, the reader's end code when its input
    // ended first (ERROR_DEVICE_NOT_CONNECTED for a line that hung up), ERROR_OPERATION_ABORTED
    // when `cancel` was signalled.
    bool start_input(DWORD timeout_ms, HANDLE cancel = nullptr);
    // Writes the queued command bytes through the writer thread (serial sources only).
    bool flush(DWORD timeout_ms);

    // Recording of the incoming sentences (recording.cpp).
    bool start_write(const wchar_t* path);
    bool stop_write();

    // Receiver commands (receiver_commands.cpp); serial sources only, otherwise false / 0.
    bool restart_receiver(bool cold);
    std::int32_t get_receiver(CReceiverListener* given);
    std::int32_t set_receiver(std::int32_t value);

    // Makes next the listener (null for none) and returns the previous one, which is no longer
    // inside any call when this returns.
    CNMEAListener* set_listener(CNMEAListener* next);
    CNMEAListener* current_listener();

    bool is_file_source() const noexcept { return input->input_flag() == INPUT_FILE; }
    bool is_memory_source() const noexcept { return input->input_flag() == INPUT_MEMORY; }
    bool is_serial_source() const noexcept { return serial != nullptr; }

    // The serial port; INVALID_HANDLE_VALUE for other sources. The owner may take it back by
    // reading it and storing INVALID_HANDLE_VALUE before destroying the object, which then
    // leaves the port open.
    std::atomic<HANDLE> port;
    // INPUT_* flags: the source kind once started, plus INPUT_RECORDING while recording.
    std::atomic<std::uint32_t> input_mode{0};

  private:
    // The sources' read loops and receiver commands work with the reader's shared parts below.
    friend class CSerialSource;
    friend class CFileSource;
    friend class CMemorySource;

    CNMEAIO(NMEAMode mode, SentenceFraming framing, HANDLE serial_port);
    // Takes the source and, when it is usable, creates the suspended reader thread.
    void attach(std::unique_ptr<CInputSource> input);

    // Installs one of the reader's own listeners (start, receiver query), which stand in front
    // of the owner's and never receive the end of the input. Returns the previous listener.
    CNMEAListener* interpose(CNMEAListener* own);
    // Reports a non-zero end code to the owner's listener, waiting for one if needed.
    static void report_end(CNMEAIO* self, DWORD code);

    static DWORD read_proc_entry(LPVOID self);

    // Records and parses one sentence for the listener, under the listener lock.
    void deliver(const CompleteSentence& sentence);
    // Feeds bytes in the stream framing (the serial and shared-memory readers).
    void assemble_stream(const char* data, std::size_t size);

    std::unique_ptr<CInputSource> input;
    // The serial source's commands; null for the other kinds.
    CSerialSource* serial = nullptr;
    GPS::unique_handle reader_thread;
    DWORD reader_thread_id = 0;
    GPS::unique_handle started_event;
    // Set with stop_requested; every wait of a reader thread includes it.
    GPS::unique_handle stop_event;
    std::atomic<bool> stop_requested{false};
    // The owner's event that cuts the waits of a start and of the commands short.
    HANDLE cancel_ = nullptr;
    CNMEAParser parser;
    // Holds `line`, the sentence being built.
    CSentenceAssembler assembler;

    CNMEAListener* listener = nullptr;
    CNMEAListener* own_listener = nullptr;
    // Auto-reset; set by every listener change, for a reader that holds an unreported end.
    GPS::unique_handle listener_changed;
    // Manual-reset; set when the input has ended by itself, so that a start ends at once.
    GPS::unique_handle input_ended;
    // The reader's end code, stored before input_ended is set: a start that failed tells it.
    std::atomic<DWORD> end_code{0};
    std::shared_ptr<GPS::listener_lock> listener_guard;
    GPS::ofstream recorder;
};
