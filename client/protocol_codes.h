#pragma once
// Request codes and data-stream message ids: the numbers of the wire protocol.

#include <cstdint>

namespace tarnwick::client {

enum class RequestCode : std::int32_t {
    Quit = 1000,
    EnumPorts = 1001,
    Connect = 1002,
    ConnectPort = 1004,
    Disconnect = 1005,
    GetInputMode = 1006,
    OpenFile = 1008,
    StartWrite = 1009,
    StopWrite = 1010,
    GetValidRMC = 1014,
    GetTimeStampMode = 1015,
    RestartReceiver = 1016,
    GetConnection = 1017,
    GetReceiver = 1018,
    OpenMemory = 1019,
    SetReceiver = 1020,
};

// The answer to anything that is not a request.
inline constexpr std::int32_t no_such_request = 999;

// Notifications on the data stream (ids 0 to 7 are records, see nmea/message_id.h).
inline constexpr std::int32_t scan_event_id = 1003;
inline constexpr std::int32_t input_lost_id = 1011;
inline constexpr std::int32_t input_ended_id = 1012;
inline constexpr std::int32_t reconnected_id = 1013;

// Flags of the input mode (GetInputMode, 1013).
inline constexpr std::int32_t input_serial = 1;
inline constexpr std::int32_t input_file = 2;
inline constexpr std::int32_t input_recording = 4;
inline constexpr std::int32_t input_memory = 8;

// True for the codes the service serves (1000 to 1020 without 1003, 1007, 1011, 1012, 1013).
bool is_request(std::int32_t code) noexcept;
// The request's name ("GetInputMode"), "NoSuchRequest" for anything else.
const char* request_name(std::int32_t code) noexcept;

}  // namespace tarnwick::client
