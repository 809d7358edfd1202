// Recording of the incoming sentences: the reader threads write every complete sentence to the
// recorder before parsing it (a no-op while it is closed); these open and close it.

#include "base/trace.h"
#include "nmeaio/nmea_io.h"

bool CNMEAIO::start_write(const wchar_t* path) {
    trace(L"CNMEAIO::start_write(%s)", path != nullptr ? path : L"");
    if (path == nullptr || !recorder.open(path, GPS::ofstream::default_capacity)) {
        return false;
    }
    input_mode |= INPUT_RECORDING;
    trace(L"CNMEAIO::start_write: Ok");
    return true;
}

bool CNMEAIO::stop_write() {
    trace(L"CNMEAIO::stop_write");
    recorder.close();
    input_mode &= ~INPUT_RECORDING;
    trace(L"CNMEAIO::stop_write: Ok");
    return true;
}
