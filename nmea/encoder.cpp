#include "nmea/encoder.h"

#include <cstdio>
#include <cstring>

namespace {

// XOR of the characters between "$" and "*".
unsigned checksum_of(const char* text, std::size_t length) noexcept {
    unsigned sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum ^= static_cast<unsigned char>(text[i]);
    }
    return sum;
}

// Appends printf-style text at *used. False when it would not fit the work buffer.
template <typename... Args>
bool append(char (&buffer)[CNMEAEncoder::work_buffer_size], std::size_t& used, const char* format,
            Args... args) noexcept {
    const int written = std::snprintf(buffer + used, sizeof buffer - used, format, args...);
    if (written < 0 || static_cast<std::size_t>(written) >= sizeof buffer - used) {
        return false;
    }
    used += static_cast<std::size_t>(written);
    return true;
}

bool in_range(std::int32_t value, std::int32_t low, std::int32_t high) noexcept {
    return value >= low && value <= high;
}

// Appends the payload of one SiRF message; false for an unknown id or a parameter out of range.
bool append_sirf_payload(char (&buffer)[CNMEAEncoder::work_buffer_size], std::size_t& used, int id,
                         const SiRFParams& p) noexcept {
    const std::int32_t* s = p.s;
    switch (id) {
        case 100: {  // serial port: protocol, baud, data bits, stop bits, parity
            const bool data_bits_ok = s[0] == 0 ? s[2] == 8 : (s[2] == 7 || s[2] == 8);
            if (!in_range(s[0], 0, 1) || !data_bits_ok || !in_range(s[3], 0, 1) ||
                !in_range(s[4], 0, 2)) {
                return false;
            }
            return append(buffer, used, "%d,%d,%d,%d,%d", s[0], s[1], s[2], s[3], s[4]);
        }
        case 101:  // navigation initialisation: X, Y, Z, clock offset 0, TOW, week, channels, reset
            if (!in_range(s[6], 1, 12) || !in_range(s[7], 1, 4)) {
                return false;
            }
            return append(buffer, used, "%d,%d,%d,%d,%d,%d,%d,%d", s[0], s[1], s[2], 0, s[4], s[5],
                          s[6], s[7]);
        case 102: {  // DGPS port: baud, 8 data bits, stop bits, parity
            const bool baud_ok = s[0] == 1200 || s[0] == 2400 || s[0] == 4800 || s[0] == 9600 ||
                                 s[0] == 19200 || s[0] == 38400;
            if (!baud_ok || !in_range(s[2], 0, 1) || !in_range(s[3], 0, 2)) {
                return false;
            }
            return append(buffer, used, "%d,%d,%d,%d", s[0], 8, s[2], s[3]);
        }
        case 103:  // query / rate control: message, mode, rate, checksum switch
            if (!in_range(s[0], 0, 5) || !in_range(s[1], 0, 1) || !in_range(s[2], 0, 255) ||
                !in_range(s[3], 0, 1)) {
                return false;
            }
            return append(buffer, used, "%d,%d,%d,%d", s[0], s[1], s[2], s[3]);
        case 104:  // initialisation by latitude, longitude (degrees) and altitude (metres)
            if (!in_range(s[6], 1, 12) || !in_range(s[7], 1, 4)) {
                return false;
            }
            return append(buffer, used, "%.6f,%.6f,%.1f,%d,%d,%d,%d,%d",
                          static_cast<double>(p.real(0)), static_cast<double>(p.real(1)),
                          static_cast<double>(p.real(2)), 0, s[4], s[5], s[6], s[7]);
        case 105:  // development data switch
            if (!in_range(s[0], 0, 1)) {
                return false;
            }
            return append(buffer, used, "%d", s[0]);
        default:
            return false;
    }
}

// Copies the finished command out when it fits.
unsigned deliver(const char* command, std::size_t length, char* out, unsigned capacity) noexcept {
    if (out == nullptr || length > capacity) {
        return 0;
    }
    std::memcpy(out, command, length);
    return static_cast<unsigned>(length);
}

}  // namespace

unsigned CNMEAEncoder::encode_sirf(char* out, unsigned capacity, int id, SiRFParams params) const {
    // A per-call work buffer: the same results as a shared one, and calls may overlap safely.
    char buffer[work_buffer_size];
    std::size_t used = 0;
    if (!append(buffer, used, "$PSRF%d,", id) || !append_sirf_payload(buffer, used, id, params)) {
        return 0;
    }
    const unsigned sum = checksum_of(buffer + 1, used - 1);
    if (!append(buffer, used, "*%02X\r\n", sum)) {
        return 0;
    }
    return deliver(buffer, used, out, capacity);
}

unsigned CNMEAEncoder::encode_sentence(char* out, unsigned capacity, const char* payload) const {
    if (payload == nullptr) {
        return 0;
    }
    const std::size_t payload_length = std::strlen(payload);
    if (payload_length > capacity) {
        return 0;
    }
    char buffer[work_buffer_size];
    std::size_t used = 0;
    // A payload too long for the work buffer is refused, never cut short.
    if (!append(buffer, used, "$%s*%02X\r\n", payload, checksum_of(payload, payload_length))) {
        return 0;
    }
    return deliver(buffer, used, out, capacity);
}
