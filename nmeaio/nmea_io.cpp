#include "nmeaio/nmea_io.h"

#include "base/trace.h"
#include "nmeaio/file_source.h"
#include "nmeaio/memory_source.h"
#include "nmeaio/sentence_dispatch.h"
#include "nmeaio/start_listener.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"

CNMEAIO::CNMEAIO(NMEAMode mode, SentenceFraming framing, HANDLE serial_port)
    : port(serial_port), parser(mode), assembler(framing) {
    listener_guard = GPS::listener_lock::create();
    started_event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stop_event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    listener_changed.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    input_ended.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

CNMEAIO::CNMEAIO(HANDLE serial_port, NMEAMode mode)
    : CNMEAIO(mode, SentenceFraming::Stream, serial_port) {
    auto serial_source = std::make_unique<CSerialSource>(*this);
    serial = serial_source.get();
    attach(std::move(serial_source));
}

CNMEAIO::CNMEAIO(const wchar_t* path, bool replay_loop, float replay_speed, NMEAMode mode)
    : CNMEAIO(mode, SentenceFraming::File, INVALID_HANDLE_VALUE) {
    attach(std::make_unique<CFileSource>(path, replay_loop, replay_speed));
}

CNMEAIO::CNMEAIO(const wchar_t* memory_name, NMEAMode mode)
    : CNMEAIO(mode, SentenceFraming::Stream, INVALID_HANDLE_VALUE) {
    attach(std::make_unique<CMemorySource>(memory_name));
}

void CNMEAIO::attach(std::unique_ptr<CInputSource> given) {
    input = std::move(given);
    if (input->usable()) {
        reader_thread.reset(CreateThread(nullptr, GPS::thread_stack_size, &CNMEAIO::read_proc_entry,
                                         this, CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION,
                                         &reader_thread_id));
    }
}

CNMEAIO::~CNMEAIO() {
    stop_requested = true;
    if (stop_event) {
        EventModify(stop_event.get(), EVENT_SET);
    }
    const bool on_reader_thread = reader_thread && GetCurrentThreadId() == reader_thread_id;
    if (reader_thread && !on_reader_thread) {
        // A read in progress would otherwise last until its own time-outs expire.
        input->abort_read(*this);
        ResumeThread(reader_thread.get());
        WaitForSingleObject(reader_thread.get(), INFINITE);
    }
    input->close(*this);
    const HANDLE serial_port = port.exchange(INVALID_HANDLE_VALUE);
    if (serial_port != INVALID_HANDLE_VALUE) {
        CloseHandle(serial_port);
    }
    reader_thread.reset();
    started_event.reset();
    stop_event.reset();
    listener_changed.reset();
    input_ended.reset();
    recorder.close();
}

bool CNMEAIO::start_input(DWORD timeout_ms, HANDLE cancel) {
    if (!reader_thread || !started_event || !stop_event || !listener_changed || !input_ended) {
        return false;
    }
    if (!input->open()) {
        return false;
    }
    cancel_ = cancel;
    CStartListener start_listener(started_event.get());
    CNMEAListener* const previous = interpose(&start_listener);
    ResumeThread(reader_thread.get());
    // A reader that ends before its first sentence (a replay without one) fails the start at
    // once instead of after the whole time-out.
    const HANDLE waited[] = {started_event.get(), input_ended.get(), cancel_};
    const DWORD woken =
        WaitForMultipleObjects(cancel_ != nullptr ? 3 : 2, waited, FALSE, timeout_ms);
    const DWORD wait_error = GetLastError();
    const bool started = WaitForSingleObject(started_event.get(), 0) == WAIT_OBJECT_0;
    DWORD reason = ERROR_SUCCESS;
    if (started) {
        input_mode = input->input_flag();
    } else if (woken == WAIT_OBJECT_0 + 1) {
        reason = end_code.load();
    } else if (woken == WAIT_OBJECT_0 + 2) {
        reason = ERROR_OPERATION_ABORTED;
    } else if (woken == WAIT_TIMEOUT) {
        reason = ERROR_TIMEOUT;
    } else {
        reason = wait_error;
    }
    // The last use of the object: an input that has ended meanwhile is reported to the restored
    // listener, which may destroy the object at once.
    set_listener(previous);
    if (!started) {
        // A client asking why the port failed is told this (ConnectPort's system error).
        SetLastError(reason != ERROR_SUCCESS ? reason : ERROR_TIMEOUT);
    }
    return started;
}

bool CNMEAIO::flush(DWORD timeout_ms) {
    return serial != nullptr && serial->flush(timeout_ms, cancel_);
}

bool CNMEAIO::restart_receiver(bool cold) {
    return serial != nullptr && serial->restart_receiver(cold, cancel_);
}

std::int32_t CNMEAIO::get_receiver(CReceiverListener* given) {
    return serial != nullptr ? serial->get_receiver(given, cancel_) : 0;
}

std::int32_t CNMEAIO::set_receiver(std::int32_t value) {
    return serial != nullptr ? serial->set_receiver(value, cancel_) : 0;
}

CNMEAListener* CNMEAIO::set_listener(CNMEAListener* next) {
    GPS::scoped_critical_section hold(listener_guard->section());
    CNMEAListener* const previous = listener;
    listener = next;
    own_listener = nullptr;
    EventModify(listener_changed.get(), EVENT_SET);
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
    auto* const io = static_cast<CNMEAIO*>(self);
    trace(io->input->reader_started_trace(), GPS::current_thread_for_trace());
    const DWORD code = io->input->read(*io);
    // An end caused by destruction is not reported: the destroying thread owns the object.
    if (code != 0 && !io->stop_requested) {
        io->end_code = code;
        EventModify(io->input_ended.get(), EVENT_SET);
        report_end(io, code);
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
    const HANDLE wake[] = {self->stop_event.get(), self->listener_changed.get()};
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
