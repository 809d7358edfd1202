#pragma once
// The library's records from the decoder's: the one place that knows both.

#include <cstdint>
#include <optional>

#include "client/stream_message.h"
#include "exchange/byte_stream.h"

class CNMEARecord;
class CRMCRecord;

namespace tarnwick::client {

// The record of message `id` (0 to 7, or 9); nothing for another id.
std::optional<Record> to_record(std::int32_t id, const CNMEARecord& record);

RMC to_rmc(const CRMCRecord& rmc) noexcept;

// Reads the byte form of a record of message `id` from `in`; nothing for another id. A short
// stream leaves `in` failed.
std::optional<Record> read_record(std::int32_t id, GPS::istream& in);

}  // namespace tarnwick::client
