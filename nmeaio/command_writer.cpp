// The command output path of a serial source: the writer thread that sends the queued command
// bytes to the port on request, and flush, which asks for one write pass and waits for it.

#include "base/trace.h"
#include "nmeaio/nmea_io.h"
#include "nmeaio/serial_source.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"

CSerialSource::CSerialSource(CNMEAIO& io) : io_(io) {
    flush_request_event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    writer_stop_event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    flushed_event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    InitializeCriticalSection(&output_lock_);
    if (flush_request_event_ && writer_stop_event_ && flushed_event_) {
        writer_thread_.reset(CreateThread(nullptr, GPS::thread_stack_size,
                                          &CSerialSource::write_proc_entry, this,
                                          STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    }
}

CSerialSource::~CSerialSource() {
    stop_writer();
    DeleteCriticalSection(&output_lock_);
}

void CSerialSource::stop_writer() noexcept {
    if (writer_thread_) {
        EventModify(writer_stop_event_.get(), EVENT_SET);
        WaitForSingleObject(writer_thread_.get(), INFINITE);
        writer_thread_.reset();
    }
    writer_stop_event_.reset();
    flushed_event_.reset();
    flush_request_event_.reset();
}

DWORD CSerialSource::write_proc_entry(LPVOID self) {
    trace(L"CNMEAIO: write proc started, thread = %p", GPS::current_thread_for_trace());
    static_cast<CSerialSource*>(self)->write_proc();
    return 0;
}

void CSerialSource::write_proc() {
    const HANDLE wake[] = {flush_request_event_.get(), writer_stop_event_.get()};
    while (WaitForMultipleObjects(2, wake, FALSE, INFINITE) == WAIT_OBJECT_0) {
        {
            GPS::scoped_critical_section hold(output_lock_);
            bool written_ok = true;
            if (output_end_ != output_) {
                DWORD written = 0;
                const BOOL wrote =
                    WriteFile(io_.port.load(), output_, static_cast<DWORD>(output_end_ - output_),
                              &written, nullptr);
                // A partial write counts as done; the rest goes with the buffer.
                written_ok = wrote != FALSE && written != 0;
                output_end_ = output_;
            }
            flush_ok_ = written_ok;
        }
        EventModify(flushed_event_.get(), EVENT_SET);
    }
}

bool CSerialSource::flush(DWORD timeout_ms, HANDLE cancel) {
    if (!writer_thread_) {
        return false;
    }
    EventModify(flush_request_event_.get(), EVENT_SET);
    const HANDLE done[] = {flushed_event_.get(), writer_stop_event_.get(), cancel};
    if (WaitForMultipleObjects(cancel != nullptr ? 3 : 2, done, FALSE, timeout_ms) !=
        WAIT_OBJECT_0) {
        PurgeComm(io_.port.load(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        flush_ok_ = false;
    }
    return flush_ok_;
}
