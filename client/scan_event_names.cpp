#include "client/scan_event_names.h"

namespace tarnwick::client {

const char* scan_event_name(std::int32_t code) noexcept {
    // The spellings are the service's own and part of what clients see.
    static constexpr const char* names[] = {"StartScan",
                                            "StartPortScan",
                                            "CreateFileFailed",
                                            "StartTryBaudRate",
                                            "InvalideHandle",
                                            "GetCommStateFailed",
                                            "SetCommStateFailed",
                                            "SetupPort",
                                            "SetupProtocol",
                                            "SetupDataFlow",
                                            "SetCommTimeoutsFailed",
                                            "ReadFileFailed",
                                            "SetupProtocolFailed",
                                            "FlushOutputFailed",
                                            "StartInputFailed",
                                            "EndTryBaudRate",
                                            "EndPortScan",
                                            "EndScan"};
    return code >= 0 && code < 18 ? names[code] : "Unknown";
}

}  // namespace tarnwick::client
