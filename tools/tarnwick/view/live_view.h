#pragma once
// `tarnwick watch --view`: the live view of the data stream. Full screen on a terminal, one
// line per epoch and per notification otherwise.

#include <memory>

#include "client/client.h"

namespace tarnwick::cli::view {

struct LiveViewOptions {
    double seconds = 0;  // 0: until a stop signal
};

// Runs until SIGINT, SIGTERM or SIGHUP, the time limit, or the end of the service. Returns the
// exit code (service_command.h) after printing any error on standard error.
int run_live_view(std::unique_ptr<client::Client> client, const LiveViewOptions& options);

}  // namespace tarnwick::cli::view
