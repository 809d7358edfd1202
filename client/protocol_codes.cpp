#include "client/protocol_codes.h"

#include <string_view>

namespace tarnwick::client {

const char* request_name(std::int32_t code) noexcept {
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

bool is_request(std::int32_t code) noexcept {
    return std::string_view(request_name(code)) != "NoSuchRequest";
}

}  // namespace tarnwick::client
