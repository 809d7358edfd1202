#include "client/client_error.h"

namespace tarnwick::client {

const char* describe(ClientError error) noexcept {
    switch (error) {
        case ClientError::none:
            return "no error";
        case ClientError::service_not_running:
            return "the service is not running";
        case ClientError::start_failed:
            return "the service could not be started";
        case ClientError::channel_failed:
            return "the service's channels could not be opened";
        case ClientError::request_too_large:
            return "the request does not fit into the request channel";
        case ClientError::timed_out:
            return "the service did not answer in time";
        case ClientError::malformed_request:
            return "the request bytes are not a whole sequence of requests";
    }
    return "unknown error";
}

}  // namespace tarnwick::client
