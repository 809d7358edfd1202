#pragma once
// Finding the service, and starting it when it is not running. The service is running when its
// start event exists and is signalled; it publishes its program's path in the registry value
// "path", which is how a client finds what to start.

#include <chrono>

#include "client/client_error.h"

namespace tarnwick::client {

// True when the service of the current namespace (TARNWICK_HOME) is up and serving.
bool service_running();

// Makes sure the service runs. When it does not and `may_start` is false: service_not_running.
// Otherwise waits for a service that is still starting, or starts the program named by "path",
// and waits up to `timeout` for its start event: start_failed when that does not come.
ClientError ensure_service(bool may_start, std::chrono::milliseconds timeout);

}  // namespace tarnwick::client
