#pragma once
// A record's byte form (what a client receives on the data stream after the message id) as
// lowercase hexadecimal.

#include <cstdint>
#include <span>
#include <string>

class CNMEARecord;

namespace tarnwick::tools {

// Appends the bytes, two lowercase hex digits each.
void append_hex(std::string& out, std::span<const std::uint8_t> bytes);

// Appends the serialized bytes of record to out.
void append_record_hex(std::string& out, const CNMEARecord& record);

}  // namespace tarnwick::tools
