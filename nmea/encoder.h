#pragma once
// Commands to the receiver: "$", a payload, "*", two upper-case hexadecimal checksum digits and
// CR LF. Neither operation writes a terminator; a refused command yields 0 and leaves the output
// untouched.

#include <bit>
#include <cstdint>

// The eight 32-bit parameter slots of a SiRF input message. Slots hold signed integers, except
// slots 0 to 2 of message 104, which hold floats (set_real / real).
struct SiRFParams {
    std::int32_t s[8] = {};

    void set_real(int slot, float value) noexcept { s[slot] = std::bit_cast<std::int32_t>(value); }
    float real(int slot) const noexcept { return std::bit_cast<float>(s[slot]); }
};

class CNMEAEncoder {
  public:
    virtual ~CNMEAEncoder() = default;

    // SiRF input message 100 to 105 ("$PSRF<id>,…"), its parameters checked against the
    // message's ranges. Result: characters placed in out, or 0 for an unknown id, a parameter
    // out of range, or a command longer than capacity. Message 104 writes latitude and
    // longitude as "%.6f" (degrees, about 0.1 m) and altitude as "%.1f" (metres).
    unsigned encode_sirf(char* out, unsigned capacity, int id, SiRFParams params) const;

    // Any payload ("aaGPQ,PORZX"), given without "$" and "*". Result as for encode_sirf; a
    // payload that cannot fit a 255-character command is refused.
    unsigned encode_sentence(char* out, unsigned capacity, const char* payload) const;

    // Commands are formatted in a work buffer of this size, so one is at most 255 characters.
    static constexpr unsigned work_buffer_size = 256;
};
