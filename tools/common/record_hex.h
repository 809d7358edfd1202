#pragma once
// A record's byte form (what a client receives on the data stream after the message id) as
// lowercase hexadecimal.

#include <string>

class CNMEARecord;

namespace tarnwick::tools {

// Appends the serialized bytes of record to out, two lowercase hex digits per byte.
void append_record_hex(std::string& out, const CNMEARecord& record);

}  // namespace tarnwick::tools
