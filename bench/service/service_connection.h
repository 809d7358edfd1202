#pragma once
// A client of the benchmark's service, and the service's input set to the benchmark's line.

#include <cstdint>
#include <memory>
#include <string>

#include "client/client.h"

namespace tarnwick::bench {

// Opens a client of the running service (never starting one). Throws std::runtime_error when it
// cannot.
std::unique_ptr<client::Client> open_client();

// Has the service connect to `port` at `baud`. The line must already carry sentences: the
// service probes it for one. Throws std::runtime_error when the service does not connect.
void connect_service(client::Client& client, const std::wstring& port, std::int32_t baud);

}  // namespace tarnwick::bench
