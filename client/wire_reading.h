#pragma once
// The fields of answers and data-stream messages as received: int32 values and counted strings.

#include <cstdint>
#include <string>

#include "exchange/byte_stream.h"
#include "nmea/field_io.h"

namespace tarnwick::client {

// 0 when the stream cannot deliver it (the stream then reports failed()).
inline std::int32_t read_int(GPS::istream& in) {
    std::int32_t value = 0;
    nmea::read_field(in, value);
    return value;
}

// A counted string; a refused count sets `refused` (and keeps it set), so that the parse fails.
std::wstring read_text(GPS::istream& in, bool& refused);

}  // namespace tarnwick::client
