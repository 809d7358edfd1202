#pragma once
// What a Client holds: the service's objects, the clients' transaction mutex, and the data
// stream, opened only for watchers.

#include <mutex>

#include "client/client.h"
#include "client/service_objects.h"
#include "platform/unique_handle.h"

namespace tarnwick::client {

struct Client::State {
    explicit State(const ClientOptions& client_options) : options(client_options) {}

    // Opens the data stream for watchers; requests never need it. False when it cannot be
    // opened. Once is enough; later calls tell the first one's outcome.
    bool open_data_stream() {
        std::call_once(data_stream_once, [this] { data_stream_open = objects.open_data_stream(); });
        return data_stream_open;
    }

    ClientOptions options;
    ServiceObjects objects;
    GPS::unique_handle transaction_mutex;
    std::once_flag data_stream_once;
    bool data_stream_open = false;
};

}  // namespace tarnwick::client
