#pragma once
// One answer of the service, decoded. Which members carry something depends on the code:
//
//   code                         result                     also
//   EnumPorts                    the number of ports        ports
//   Connect, GetConnection       1 connected, 0 not         port, baud (when 1)
//   ConnectPort                  1 connected, 0 failed      system_error (when 0)
//   Disconnect                   0
//   GetValidRMC                  1 a valid fix, 0 none      fix (when 1)
//   any other request            its one int32
//   999 (not a request)          0

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/records.h"

namespace tarnwick::client {

struct Answer {
    std::int32_t code = 0;
    std::int32_t result = 0;
    std::wstring port;
    std::int32_t baud = 0;
    std::uint32_t system_error = 0;
    std::vector<std::wstring> ports;
    std::optional<RMC> fix;
};

}  // namespace tarnwick::client
