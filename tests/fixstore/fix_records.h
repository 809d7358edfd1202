#pragma once
// Distinct RMC records for the fix store tests, each telling from its own fields which one it is.

#include <string>

#include "exchange/memory_stream.h"
#include "nmea/rmc_record.h"

namespace tarnwick::test {

inline CRMCRecord fix_record(int id, char status = 'A') {
    CRMCRecord record;
    record.time.hour = static_cast<std::uint8_t>(id % 24);
    record.time.minute = static_cast<std::uint8_t>(id % 60);
    record.time.second = static_cast<float>(id % 1000) / 10.0f;
    record.status = status;
    record.position.lat_deg = id;
    record.position.lat_min = 12.5f;
    record.position.lat_hemi = 'N';
    record.position.lon_deg = -id;
    record.position.lon_min = 0.25f;
    record.position.lon_hemi = 'W';
    record.speed = static_cast<float>(id % 100);
    record.day = static_cast<std::int8_t>(1 + id % 28);
    record.month = static_cast<std::int8_t>(1 + id % 12);
    record.year = 26;
    record.variation_dir = 'E';
    return record;
}

// The 41 bytes the store keeps on disk.
inline std::string serialized(const CRMCRecord& record) {
    char bytes[64];
    GPS::memory_ostream out(bytes, sizeof bytes);
    record.serialize(out);
    return std::string(bytes, out.length());
}

// Whether `record` is exactly fix_record(id) for the id its latitude names.
inline bool is_whole_fix(const CRMCRecord& record) {
    return serialized(record) == serialized(fix_record(record.position.lat_deg));
}

}  // namespace tarnwick::test
