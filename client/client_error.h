#pragma once
// What can go wrong between a client and the service, told apart so that callers (and the exit
// codes of `tarnwick`) can react: a service that is not running is not the same failure as a
// service that does not answer.

namespace tarnwick::client {

enum class ClientError {
    none = 0,
    // The start event does not exist or is not signalled, and the caller asked not to start it.
    service_not_running,
    // Starting the service failed: no "path" in the registry, the program could not be run, or
    // it did not signal its start event in time.
    start_failed,
    // A channel, event or lock of the namespace could not be opened.
    channel_failed,
    // The request did not fit into "in".
    request_too_large,
    // No answer that matches the requests came within the time-out.
    timed_out,
    // The bytes given to a raw request are not a whole sequence of requests.
    malformed_request,
};

// A short English description, for messages.
const char* describe(ClientError error) noexcept;

}  // namespace tarnwick::client
