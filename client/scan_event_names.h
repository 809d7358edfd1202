#pragma once
// The scan event codes carried by message 1003 that clients act on, and the names of all of
// them (docs/protocol.md, "Scan events").

#include <cstdint>

namespace tarnwick::client {

inline constexpr std::int32_t scan_start_port_scan = 1;
inline constexpr std::int32_t scan_create_file_failed = 2;
inline constexpr std::int32_t scan_start_try_baud_rate = 3;
inline constexpr std::int32_t scan_end_try_baud_rate = 15;
inline constexpr std::int32_t scan_end_port_scan = 16;
inline constexpr std::int32_t scan_end = 17;

// "StartScan" … "EndScan" for 0 to 17, "Unknown" for anything else.
const char* scan_event_name(std::int32_t code) noexcept;

}  // namespace tarnwick::client
