#include "nmeaio/nmea_io.h"

#include "base/trace.h"
#include "nmeaio/sentence_dispatch.h"
#include "nmeaio/start_listener.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"

using GPS::close_if_set;

CNMEAIO::CNMEAIO(HANDLE serial_port, NMEAMode mode)
    : port(serial_port), source(Source::Serial), parser(mode), assembler(SentenceFraming::Stream) {
    init_common();
    create_reader_thread(&CNMEAIO::read_proc_entry);
    create_writer();
}

CNMEAIO::CNMEAIO(const wchar_t* path, bool replay_loop, float replay_speed, NMEAMode mode)
    : port(INVALID_HANDLE_VALUE),
      source(Source::File),
      parser(mode),
      assembler(SentenceFraming::File),
      file_path(path != nullptr ? path : L""),
      loop(replay_loop),
      speed(replay_speed) {
    init_common();
    create_reader_thread(&CNMEAIO::read_file_proc_entry);
}

CNMEAIO::CNMEAIO(const wchar_t* memory_name, NMEAMode mode)
    : port(INVALID_HANDLE_VALUE),
      source(Source::Memory),
      parser(mode),
      assembler(SentenceFraming::Stream) {
    init_common();
    if (memory_name != nullptr && open_memory_source(memory_name)) {
        create_reader_thread(&CNMEAIO::read_memory_proc_entry);
    }
}

void CNMEAIO::init_common() {
    listener_guard = GPS::listener_lock::create();
    started_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    listener_changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    input_ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

void CNMEAIO::create_reader_thread(LPTHREAD_START_ROUTINE entry) {
    reader_thread =
        CreateThread(nullptr, GPS::thread_stack_size, entry, this,
                     CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, &reader_thread_id);
}

CNMEAIO::~CNMEAIO() {
    stop_requested = true;
    if (stop_event != nullptr) {
        EventModify(stop_event, EVENT_SET);
    }
    const bool on_reader_thread =
        reader_thread != nullptr && GetCurrentThreadId() == reader_thread_id;
    if (reader_thread != nullptr && !on_reader_thread) {
        // A read in progress would otherwise last until the port's read time-outs expire.
        const HANDLE serial = port.load();
        if (is_serial_source() && serial != INVALID_HANDLE_VALUE) {
            PurgeComm(serial, PURGE_RXABORT);
        }
        ResumeThread(reader_thread);
        WaitForSingleObject(reader_thread, INFINITE);
    }
    // The writer may be inside WriteFile on the port: it ends before the port closes.
    stop_writer();
    const HANDLE serial = port.exchange(INVALID_HANDLE_VALUE);
    if (serial != INVALID_HANDLE_VALUE) {
        CloseHandle(serial);
    }
    close_if_set(reader_thread);
    close_if_set(started_event);
    close_if_set(stop_event);
    close_if_set(listener_changed);
    close_if_set(input_ended);
    release_memory_source();
    file.close();
    recorder.close();
}

bool CNMEAIO::start_input(DWORD timeout_ms, HANDLE cancel) {
    if (reader_thread == nullptr || started_event == nullptr || stop_event == nullptr ||
        listener_changed == nullptr || input_ended == nullptr) {
        return false;
    }
    if (is_file_source() && !file.open(file_path->c_str())) {
        return false;
    }
    cancel_ = cancel;
    CStartListener start_listener(started_event);
    CNMEAListener* const previous = interpose(&start_listener);
    ResumeThread(reader_thread);
    // A reader that ends before its first sentence (a replay without one) fails the start at
    // once instead of after the whole time-out.
    const HANDLE waited[] = {started_event, input_ended, cancel_};
    WaitForMultipleObjects(cancel_ != nullptr ? 3 : 2, waited, FALSE, timeout_ms);
    const bool started = WaitForSingleObject(started_event, 0) == WAIT_OBJECT_0;
    if (started) {
        input_mode = is_file_source()     ? INPUT_FILE
                     : is_memory_source() ? INPUT_MEMORY
                                          : INPUT_SERIAL;
    }
    // The last use of the object: an input that has ended meanwhile is reported to the restored
    // listener, which may destroy the object at once.
    set_listener(previous);
    return started;
}

CNMEAListener* CNMEAIO::set_listener(CNMEAListener* next) {
    GPS::scoped_critical_section hold(listener_guard->section());
    CNMEAListener* const previous = listener;
    listener = next;
    own_listener = nullptr;
    EventModify(listener_changed, EVENT_SET);
    return previous;
}

CNMEAListener* CNMEAIO::interpose(CNMEAListener* own) {
    GPS::scoped_critical_section hold(listener_guard->section());
    CNMEAListener* const previous = listener;
    listener = own;
    own_listener = own;
    return previous;
}

CNMEAListener* CNMEAIO::current_listener() {
    GPS::scoped_critical_section hold(listener_guard->section());
    return listener;
}

DWORD CNMEAIO::read_proc_entry(LPVOID self) {
    return run_reader(static_cast<CNMEAIO*>(self), L"CNMEAIO: read proc started, thread = %p",
                      &CNMEAIO::read_proc);
}

DWORD CNMEAIO::read_file_proc_entry(LPVOID self) {
    return run_reader(static_cast<CNMEAIO*>(self), L"CNMEAIO: read file proc started, thread = %p",
                      &CNMEAIO::read_file_proc);
}

DWORD CNMEAIO::read_memory_proc_entry(LPVOID self) {
    return run_reader(static_cast<CNMEAIO*>(self),
                      L"CNMEAIO: read memory proc started, thread = %p",
                      &CNMEAIO::read_memory_proc);
}

DWORD CNMEAIO::run_reader(CNMEAIO* self, const wchar_t* started_trace, DWORD (CNMEAIO::*body)()) {
    trace(started_trace, GPS::current_thread_for_trace());
    const DWORD code = (self->*body)();
    // An end caused by destruction is not reported: the destroying thread owns the object.
    if (code != 0 && !self->stop_requested) {
        EventModify(self->input_ended, EVENT_SET);
        report_end(self, code);
    }
    return code;
}

void CNMEAIO::report_end(CNMEAIO* self, DWORD code) {
    const int state = code == ERROR_HANDLE_EOF ? 1 : 0;
    // set_state may destroy the object: the lock it is called under is shared with the object
    // and outlives it through `guard`, and nothing of the object is used after the call. The
    // handles stay valid while waiting: a destruction on another thread sets stop_event and
    // waits for this thread before closing them.
    const std::shared_ptr<GPS::listener_lock> guard = self->listener_guard;
    const HANDLE wake[] = {self->stop_event, self->listener_changed};
    for (;;) {
        {
            GPS::scoped_critical_section hold(guard->section());
            CNMEAListener* const owner_listener = self->listener;
            if (owner_listener != nullptr && owner_listener != self->own_listener) {
                owner_listener->set_state(state);
                return;
            }
        }
        if (WaitForMultipleObjects(2, wake, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            return;
        }
    }
}

void CNMEAIO::deliver(const CompleteSentence& sentence) {
    GPS::scoped_critical_section hold(listener_guard->section());
    dispatch_sentence(sentence, assembler.framing(), &recorder, parser, listener);
}

void CNMEAIO::assemble_stream(const char* data, std::size_t size) {
    // Restarts and overruns are traced by the assembler as they happen, in order with the
    // sentences around them.
    assembler.feed(data, size, [this](const CompleteSentence& sentence) { deliver(sentence); });
}
