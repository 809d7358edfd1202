#include "tools/common/record_hex.h"

#include "exchange/memory_stream.h"
#include "nmea/record.h"

namespace tarnwick::tools {

void append_record_hex(std::string& out, const CNMEARecord& record) {
    // Large enough for the largest record (GSV, 184 bytes); a longer one would come out cut,
    // never past the buffer.
    unsigned char bytes[256];
    GPS::memory_ostream stream(bytes, sizeof bytes);
    record.serialize(stream);
    static constexpr char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < stream.length(); ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0xF]);
    }
}

}  // namespace tarnwick::tools
