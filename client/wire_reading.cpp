#include "client/wire_reading.h"

#include "exchange/counted_string.h"

namespace tarnwick::client {

std::wstring read_text(GPS::istream& in, bool& refused) {
    bool bad = false;
    const GPS::owned_wstring text = GPS::read_wstring(in, bad);
    refused = refused || bad;
    return text ? std::wstring(text.get()) : std::wstring();
}

}  // namespace tarnwick::client
