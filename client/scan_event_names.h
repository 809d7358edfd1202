#pragma once
// The scan event codes carried by message 1003 and their names, shared with the service
// (protocol/scan_event.h), under the library's namespace.

#include <cstdint>

#include "protocol/scan_event.h"

namespace tarnwick::client {

inline constexpr std::int32_t scan_start_port_scan = StartPortScan;
inline constexpr std::int32_t scan_create_file_failed = CreateFileFailed;
inline constexpr std::int32_t scan_start_try_baud_rate = StartTryBaudRate;
inline constexpr std::int32_t scan_end_try_baud_rate = EndTryBaudRate;
inline constexpr std::int32_t scan_end_port_scan = EndPortScan;
inline constexpr std::int32_t scan_end = EndScan;

// "StartScan" … "EndScan" for 0 to 17, "Unknown" for anything else.
inline const char* scan_event_name(std::int32_t code) noexcept {
    return protocol::scan_event_name_narrow(code);
}

}  // namespace tarnwick::client
