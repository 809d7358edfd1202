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

}  // namespace

DWORD CNMEAIO::read_proc() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER last_byte_time;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&last_byte_time);
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
