#pragma once
// Messages of the data stream, decoded: records (ids 0 to 7, decoded by the nmea/ records'
// deserialize), scan events (1003, with the EndScan summary), and the input notifications
// 1011, 1012 and 1013.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "nmea/record.h"

namespace tarnwick::client {

struct ScanPortRates {
    std::wstring port;
    std::vector<std::int32_t> rates;
};

struct ScanEvent {
    std::int32_t code = 0;
    std::wstring port;  // empty when the event has none
    std::int32_t value = 0;
    std::vector<ScanPortRates> summary;  // EndScan only: the ports where a rate answered
};

struct StreamMessage {
    // Position in the watch ring (watcher.h); counts every message any watcher published.
    std::uint64_t sequence = 0;
    std::int32_t id = 0;
    // The bytes after the id, exactly as they stood in the stream.
    std::vector<std::uint8_t> body;
    // RMC only, when the service runs with "tstamp": its tick count in milliseconds.
    std::optional<std::uint32_t> tick;
    // Ids 0 to 7.
    std::unique_ptr<CNMEARecord> record;
    // 1003.
    ScanEvent scan;
    // 1013: the input mode now attached.
    std::int32_t input_mode = 0;
};

// The length of the message at the start of `bytes`, id included; 0 when the bytes do not start
// with a whole message of a known id (the rest of such a stream cannot be delimited).
std::size_t message_length(std::span<const std::uint8_t> bytes, bool tstamp);

// Decodes one whole message (as message_length delimits it); false when it is not one.
bool decode_message(std::span<const std::uint8_t> message, bool tstamp, StreamMessage& out);

}  // namespace tarnwick::client
