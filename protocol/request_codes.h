#pragma once
// Request codes and data-stream notification ids: the numbers of the client protocol
// (docs/protocol.md), as the service serves them and clients send and read them.

#include <cstdint>
#include <string_view>

namespace tarnwick::protocol {

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

// Notifications on the data stream (ids 0 to 7 are records, see nmea/message_id.h). They share
// the range of the request codes, which is why they are no requests.
inline constexpr std::int32_t scan_event_id = 1003;
inline constexpr std::int32_t input_lost_id = 1011;
inline constexpr std::int32_t input_ended_id = 1012;
inline constexpr std::int32_t reconnected_id = 1013;

// Flags of the input mode (GetInputMode, 1013).
inline constexpr std::int32_t input_serial = 1;
inline constexpr std::int32_t input_file = 2;
inline constexpr std::int32_t input_recording = 4;
inline constexpr std::int32_t input_memory = 8;

// The request's name ("GetInputMode"), "NoSuchRequest" for anything else.
constexpr const char* request_name(std::int32_t code) noexcept {
    switch (static_cast<RequestCode>(code)) {
        case RequestCode::Quit:
            return "Quit";
        case RequestCode::EnumPorts:
            return "EnumPorts";
        case RequestCode::Connect:
            return "Connect";
        case RequestCode::ConnectPort:
            return "ConnectPort";
        case RequestCode::Disconnect:
            return "Disconnect";
        case RequestCode::GetInputMode:
            return "GetInputMode";
        case RequestCode::OpenFile:
            return "OpenFile";
        case RequestCode::StartWrite:
            return "StartWrite";
        case RequestCode::StopWrite:
            return "StopWrite";
        case RequestCode::GetValidRMC:
            return "GetValidRMC";
        case RequestCode::GetTimeStampMode:
            return "GetTimeStampMode";
        case RequestCode::RestartReceiver:
            return "RestartReceiver";
        case RequestCode::GetConnection:
            return "GetConnection";
        case RequestCode::GetReceiver:
            return "GetReceiver";
        case RequestCode::OpenMemory:
            return "OpenMemory";
        case RequestCode::SetReceiver:
            return "SetReceiver";
    }
    return "NoSuchRequest";
}

// True for the codes the service serves: 1000 to 1020 without 1003, 1007 (never a request) and
// 1011 to 1013.
constexpr bool is_request(std::int32_t code) noexcept {
    return std::string_view(request_name(code)) != request_name(no_such_request);
}

}  // namespace tarnwick::protocol
