// The command output path of a serial source: the writer thread that sends the queued command
// bytes to the port on request, and flush, which asks for one write pass and waits for it.

#include "base/trace.h"
#include "nmeaio/nmea_io.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"

void CNMEAIO::create_writer() {
    flush_request_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    writer_stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    flushed_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    InitializeCriticalSection(&output_lock);
    output_lock_initialised = true;
    if (flush_request_event != nullptr && writer_stop_event != nullptr &&
        flushed_event != nullptr) {
        writer_thread = CreateThread(nullptr, GPS::thread_stack_size, &CNMEAIO::write_proc_entry,
                                     this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    }
}

void CNMEAIO::stop_writer() noexcept {
    if (writer_thread != nullptr) {
        EventModify(writer_stop_event, EVENT_SET);
        WaitForSingleObject(writer_thread, INFINITE);
        CloseHandle(writer_thread);
        writer_thread = nullptr;
    }
    for (HANDLE* handle : {&writer_stop_event, &flushed_event, &flush_request_event}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
    if (output_lock_initialised) {
        DeleteCriticalSection(&output_lock);
        output_lock_initialised = false;
    }
}

DWORD CNMEAIO::write_proc_entry(LPVOID self) {
    trace(L"CNMEAIO: write proc started, thread = %p", GPS::current_thread_for_trace());
    static_cast<CNMEAIO*>(self)->write_proc();
    return 0;
}

void CNMEAIO::write_proc() {
    const HANDLE wake[] = {flush_request_event, writer_stop_event};
    while (WaitForMultipleObjects(2, wake, FALSE, INFINITE) == WAIT_OBJECT_0) {
        {
            GPS::scoped_critical_section hold(output_lock);
            bool written_ok = true;
            if (output_end != output) {
                DWORD written = 0;
                const BOOL wrote =
                    WriteFile(port.load(), output, static_cast<DWORD>(output_end - output),
                              &written, nullptr);
                // A partial write counts as done; the rest goes with the buffer.
                written_ok = wrote != FALSE && written != 0;
                output_end = output;
            }
            flush_ok = written_ok;
        }
        EventModify(flushed_event, EVENT_SET);
    }
}

bool CNMEAIO::flush(DWORD timeout_ms) {
    if (!is_serial_source() || writer_thread == nullptr) {
        return false;
    }
    EventModify(flush_request_event, EVENT_SET);
    const HANDLE done[] = {flushed_event, writer_stop_event, cancel_};
    if (WaitForMultipleObjects(cancel_ != nullptr ? 3 : 2, done, FALSE, timeout_ms) !=
        WAIT_OBJECT_0) {
        PurgeComm(port.load(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        flush_ok = false;
    }
    return flush_ok;
}
