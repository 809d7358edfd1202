#pragma once
// Messages of the data stream, decoded: records (ids 0 to 7, and 9 in the GNSS mode), scan
// events (1003, with the EndScan summary), and the input notifications 1011, 1012 and 1013.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "client/records.h"

namespace tarnwick::client {

// One alternative per record id, in the order of the ids.
using Record = std::variant<GGA, GLL, GSA, GSV, RMC, VTG, PORZA, PORZX, GSASystems>;

// The message id of the record (0 to 7, or 9).
constexpr std::int32_t record_id(const Record& record) noexcept {
    const auto index = static_cast<std::int32_t>(record.index());
    return index == 8 ? TARNWICK_GSA_SYSTEMS : index;
}

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
    // Ids 0 to 7 and 9.
    std::optional<Record> record;
    // 1003.
    ScanEvent scan;
    // 1013: the input mode now attached.
    std::int32_t input_mode = 0;
};

}  // namespace tarnwick::client
