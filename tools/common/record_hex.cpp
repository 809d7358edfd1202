#include "tools/common/record_hex.h"

#include "exchange/memory_stream.h"
#include "nmea/record.h"

namespace tarnwick::tools {

void append_hex(std::string& out, std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    for (const std::uint8_t byte : bytes) {
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 0xF]);
    }
}

void append_record_hex(std::string& out, const CNMEARecord& record) {
    // Large enough for the largest record (GSV, 184 bytes); a longer one would come out cut,
    // never past the buffer.
    std::uint8_t bytes[256];
    GPS::memory_ostream stream(bytes, sizeof bytes);
    record.serialize(stream);
    append_hex(out, std::span<const std::uint8_t>(bytes, stream.length()));
}

}  // namespace tarnwick::tools
