// The serial reader thread: bytes from the port in reads of up to 4096, sentences in the stream
// framing, and the end of the input after 25 s without a byte.

#include "base/trace.h"
#include "nmeaio/nmea_io.h"
#include "nmeaio/serial_source.h"

namespace {

// More silence than this ends the input (the port's own read time-out is 3 s).
constexpr double max_silence_seconds = 25.0;

double seconds_between(const LARGE_INTEGER& from, const LARGE_INTEGER& to,
                       const LARGE_INTEGER& frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The probe's read time-outs end a read only after a 20 ms pause in the line, so every
// sentence would wait that long before it reaches the parser. The reader keeps the probe's
// total wait for a first byte (the 3 s between silence checks) but has each read return as soon
// as bytes have arrived. A port without a total wait is left as it is.
//
// A real UART hands its bytes over a few at a time (a FIFO's worth, 14 bytes or so), and a read
// that returned at each piece would wake the reader five or more times per sentence. With
// EV_RXFLAG in its comm mask the port wakes the reader only when a line has ended at the event
// character, the LF that ends every sentence: one wake-up per sentence and no added latency, as
// the last byte of a sentence is its LF. Bytes of an unfinished line still come when the line
// pauses for the total wait, so the silence rule sees every byte.
void return_reads_per_sentence(HANDLE port) {
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(port, &timeouts) || timeouts.ReadTotalTimeoutConstant == 0 ||
        timeouts.ReadTotalTimeoutConstant == MAXDWORD) {
        return;
    }
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    if (!SetCommTimeouts(port, &timeouts)) {
        trace(L"CNMEAIO::read_proc: SetCommTimeouts failed with code = %d",
              static_cast<int>(GetLastError()));
        return;
    }
    if (!SetCommMask(port, EV_RXFLAG)) {
        trace(L"CNMEAIO::read_proc: SetCommMask failed with code = %d",
              static_cast<int>(GetLastError()));
    }
}

// The receiver's bytes should reach clients without waiting for whatever else the machine runs:
// a busy kernel thread or a build can otherwise hold the core a sentence is woken on for
// milliseconds. The reader asks for the lowest real-time priority where it is allowed (it only
// ever waits for the line or does a few microseconds of work per read, so it cannot starve the
// machine) and returns to normal before the end of its input is handled, since that starts the
// reconnection's threads. Without the right the reader runs as an ordinary thread.
class ReaderPriority {
  public:
    ReaderPriority()
        : raised_(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL)) {
        if (!raised_) {
            trace(L"CNMEAIO::read_proc: runs at normal priority (no real-time right, code = %d)",
                  static_cast<int>(GetLastError()));
        }
    }
    ~ReaderPriority() {
        if (raised_) {
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
        }
    }
    ReaderPriority(const ReaderPriority&) = delete;
    ReaderPriority& operator=(const ReaderPriority&) = delete;

  private:
    bool raised_;
};

}  // namespace

std::uint32_t CSerialSource::input_flag() const noexcept {
    return INPUT_SERIAL;
}

void CSerialSource::abort_read(CNMEAIO& io) noexcept {
    const HANDLE serial = io.port.load();
    if (serial != INVALID_HANDLE_VALUE) {
        PurgeComm(serial, PURGE_RXABORT);
    }
}

DWORD CSerialSource::read(CNMEAIO& io) {
    const ReaderPriority priority;
    LARGE_INTEGER frequency;
    LARGE_INTEGER last_byte_time;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&last_byte_time);
    return_reads_per_sentence(io.port.load());
    for (;;) {
        if (io.stop_requested) {
            return 0;
        }
        DWORD got = 0;
        if (!ReadFile(io.port.load(), receive_buffer_, receive_buffer_size, &got, nullptr)) {
            // The destructor aborts a pending read: that is a stop, not a failed port.
            if (io.stop_requested) {
                return 0;
            }
            const DWORD code = GetLastError();
            trace(L"ReadFile : failed with code = %d", static_cast<int>(code));
            return code;
        }
        if (got == 0) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            const double silence = seconds_between(last_byte_time, now, frequency);
            if (max_silence_seconds < silence) {
                trace(L"ReadFile : timed out %f sec", silence);
                return ERROR_TIMEOUT;
            }
            continue;
        }
        QueryPerformanceCounter(&last_byte_time);
        io.assemble_stream(receive_buffer_, got);
    }
}
