// The error codes of the C interface and their descriptions.
#include "capi/boundary.h"

namespace tarnwick::capi {

tarnwick_error to_c(client::ClientError error) noexcept {
    using client::ClientError;
    switch (error) {
        case ClientError::none:
            return TARNWICK_OK;
        case ClientError::service_not_running:
            return TARNWICK_ERROR_SERVICE_NOT_RUNNING;
        case ClientError::start_failed:
            return TARNWICK_ERROR_START_FAILED;
        case ClientError::channel_failed:
            return TARNWICK_ERROR_CHANNEL_FAILED;
        case ClientError::request_too_large:
            return TARNWICK_ERROR_REQUEST_TOO_LARGE;
        case ClientError::timed_out:
            return TARNWICK_ERROR_TIMED_OUT;
        case ClientError::malformed_request:
            return TARNWICK_ERROR_MALFORMED_REQUEST;
    }
    return TARNWICK_ERROR_INTERNAL;
}

}  // namespace tarnwick::capi

extern "C" const char* tarnwick_error_message(int error) {
    using tarnwick::client::ClientError;
    switch (error) {
        // The codes the C++ API shares keep its wording.
        case TARNWICK_OK:
            return describe(ClientError::none);
        case TARNWICK_ERROR_SERVICE_NOT_RUNNING:
            return describe(ClientError::service_not_running);
        case TARNWICK_ERROR_START_FAILED:
            return describe(ClientError::start_failed);
        case TARNWICK_ERROR_CHANNEL_FAILED:
            return describe(ClientError::channel_failed);
        case TARNWICK_ERROR_REQUEST_TOO_LARGE:
            return describe(ClientError::request_too_large);
        case TARNWICK_ERROR_TIMED_OUT:
            return describe(ClientError::timed_out);
        case TARNWICK_ERROR_MALFORMED_REQUEST:
            return describe(ClientError::malformed_request);
        case TARNWICK_ERROR_INVALID_ARGUMENT:
            return "an argument is NULL, of the wrong kind or not UTF-8";
        case TARNWICK_ERROR_BUFFER_TOO_SMALL:
            return "the buffer is too small";
        case TARNWICK_ERROR_OUT_OF_MEMORY:
            return "out of memory";
        case TARNWICK_ERROR_INTERNAL:
            return "internal error of the library";
    }
    return "unknown error";
}
