// Opening and closing the C client, and what needs no handle.
#include <memory>

#include "capi/boundary.h"
#include "capi/handles.h"
#include "client/scan_event_names.h"
#include "client/service_launcher.h"

#include "client/protocol_codes.h"

using tarnwick::capi::guarded;
namespace client = tarnwick::client;

// The header spells the protocol's numbers itself, for C.
static_assert(TARNWICK_INPUT_SERIAL == client::input_serial &&
              TARNWICK_INPUT_FILE == client::input_file &&
              TARNWICK_INPUT_RECORDING == client::input_recording &&
              TARNWICK_INPUT_MEMORY == client::input_memory);
static_assert(TARNWICK_MSG_SCAN_EVENT == client::scan_event_id &&
              TARNWICK_MSG_INPUT_LOST == client::input_lost_id &&
              TARNWICK_MSG_INPUT_ENDED == client::input_ended_id &&
              TARNWICK_MSG_RECONNECTED == client::reconnected_id);
static_assert(TARNWICK_SCAN_START_PORT_SCAN == client::scan_start_port_scan &&
              TARNWICK_SCAN_CREATE_FILE_FAILED == client::scan_create_file_failed &&
              TARNWICK_SCAN_START_TRY_BAUD_RATE == client::scan_start_try_baud_rate &&
              TARNWICK_SCAN_END_TRY_BAUD_RATE == client::scan_end_try_baud_rate &&
              TARNWICK_SCAN_END_PORT_SCAN == client::scan_end_port_scan &&
              TARNWICK_SCAN_END == client::scan_end);

extern "C" {

void tarnwick_options_init(tarnwick_options* options) {
    if (options == nullptr) {
        return;
    }
    const client::ClientOptions defaults;
    options->may_start = defaults.may_start ? 1 : 0;
    options->start_timeout_ms = static_cast<uint32_t>(defaults.start_timeout.count());
    options->answer_timeout_ms = static_cast<uint32_t>(defaults.answer_timeout.count());
}

tarnwick_error tarnwick_open(const tarnwick_options* options, tarnwick_client** out) {
    if (out == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    *out = nullptr;
    return guarded(__func__, [&] {
        tarnwick_options given;
        tarnwick_options_init(&given);
        if (options != nullptr) {
            given = *options;
        }
        client::ClientOptions cpp;
        cpp.may_start = given.may_start != 0;
        cpp.start_timeout = std::chrono::milliseconds(given.start_timeout_ms);
        cpp.answer_timeout = std::chrono::milliseconds(given.answer_timeout_ms);
        std::unique_ptr<client::Client> opened;
        const client::ClientError error = client::Client::open(cpp, opened);
        if (error != client::ClientError::none) {
            return tarnwick::capi::to_c(error);
        }
        auto handle = std::make_unique<tarnwick_client>();
        handle->client = std::move(opened);
        *out = handle.release();
        return TARNWICK_OK;
    });
}

void tarnwick_close(tarnwick_client* client) {
    if (!tarnwick::capi::usable(client)) {
        return;
    }
    delete client;
}

int tarnwick_service_running(void) {
    try {
        return client::service_running() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

const char* tarnwick_scan_event_name(int32_t code) {
    return client::scan_event_name(code);
}

}  // extern "C"
