// The C watcher of the data stream.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "base/utf8.h"
#include "capi/boundary.h"
#include "capi/handles.h"
#include "capi/message_conversion.h"

using tarnwick::capi::guarded;
using tarnwick::capi::usable;
namespace client = tarnwick::client;

extern "C" {

tarnwick_error tarnwick_watcher_open(tarnwick_client* client, tarnwick_watcher** out) {
    if (out == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    *out = nullptr;
    if (!usable(client)) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return guarded(__func__, [&] {
        auto handle = std::make_unique<tarnwick_watcher>();
        handle->client = client->client;
        const client::ClientError error = client::Watcher::open(*handle->client, handle->watcher);
        if (error != client::ClientError::none) {
            return tarnwick::capi::to_c(error);
        }
        *out = handle.release();
        return TARNWICK_OK;
    });
}

void tarnwick_watcher_close(tarnwick_watcher* watcher) {
    if (usable(watcher)) {
        delete watcher;
    }
}

tarnwick_error tarnwick_watcher_next(tarnwick_watcher* watcher, uint32_t timeout_ms,
                                     tarnwick_message* message, uint64_t* lost) {
    if (!usable(watcher) || message == nullptr || lost == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    *message = tarnwick_message{};
    *lost = 0;
    return guarded(__func__, [&] {
        watcher->summary.clear();
        client::StreamMessage next;
        std::uint64_t missed = 0;
        const client::ClientError error =
            watcher->watcher->next(std::chrono::milliseconds(timeout_ms), next, missed);
        *lost = missed;
        if (error != client::ClientError::none) {
            return tarnwick::capi::to_c(error);
        }
        tarnwick::capi::to_c_message(next, *message);
        watcher->summary = std::move(next.scan.summary);
        return TARNWICK_OK;
    });
}

tarnwick_error tarnwick_watcher_summary_entry(const tarnwick_watcher* watcher, uint32_t index,
                                              char* port, size_t port_size, size_t* port_needed,
                                              int32_t* rates, size_t rates_capacity,
                                              size_t* rate_count) {
    if (!usable(watcher) || (port == nullptr && port_size != 0) || port_needed == nullptr ||
        rate_count == nullptr || (rates == nullptr && rates_capacity != 0) ||
        index >= watcher->summary.size()) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return guarded(__func__, [&] {
        const client::ScanPortRates& entry = watcher->summary[index];
        const std::string name = tarnwick::to_utf8(entry.port);
        *port_needed = name.size() + 1;
        *rate_count = entry.rates.size();
        if (port_size < name.size() + 1 || rates_capacity < entry.rates.size()) {
            return TARNWICK_ERROR_BUFFER_TOO_SMALL;
        }
        std::memcpy(port, name.c_str(), name.size() + 1);
        std::copy(entry.rates.begin(), entry.rates.end(), rates);
        return TARNWICK_OK;
    });
}

}  // extern "C"
