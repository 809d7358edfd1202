#pragma once
// The steps of a port scan, as the scan reports them to its listener and the service passes
// them to clients in message 1003, with their printable names.

#include <cstdint>

enum ScanEventCode : std::int32_t {
    StartScan = 0,
    StartPortScan = 1,
    CreateFileFailed = 2,
    StartTryBaudRate = 3,
    InvalideHandle = 4,
    GetCommStateFailed = 5,
    SetCommStateFailed = 6,
    SetupPort = 7,
    // Named for clients' sake; nothing sends 8, 9, 12 or 13.
    SetupProtocol = 8,
    SetupDataFlow = 9,
    SetCommTimeoutsFailed = 10,
    ReadFileFailed = 11,
    SetupProtocolFailed = 12,
    FlushOutputFailed = 13,
    StartInputFailed = 14,
    EndTryBaudRate = 15,
    EndPortScan = 16,
    EndScan = 17,
};

// The event's name; "Unknown" for any code outside 0 to 17.
const wchar_t* scan_event_name(std::int32_t code) noexcept;

namespace tarnwick::protocol {

// The same name in narrow characters (the names are ASCII).
const char* scan_event_name_narrow(std::int32_t code) noexcept;

}  // namespace tarnwick::protocol
