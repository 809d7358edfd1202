// The serial reader thread: bytes from the port in reads of up to 4096, sentences in the stream
// framing, and the end of the input after 25 s without a byte.

#include "nmeaio/nmea_io.h"
#include "server/trace.h"

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
void return_reads_on_arrival(HANDLE port) {
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
    }
}

}  // namespace

DWORD CNMEAIO::read_proc() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER last_byte_time;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&last_byte_time);
    return_reads_on_arrival(port.load());
    for (;;) {
        if (stop_requested) {
            return 0;
        }
        DWORD got = 0;
        if (!ReadFile(port.load(), receive_buffer, receive_buffer_size, &got, nullptr)) {
            // The destructor aborts a pending read: that is a stop, not a failed port.
            if (stop_requested) {
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
        assemble_stream(receive_buffer, got);
    }
}
