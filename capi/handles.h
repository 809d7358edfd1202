#pragma once
// What the C handles hold. Each starts with a tag so that a handle of the other kind, or one
// already closed, is refused instead of being used as the wrong object.

#include <cstdint>
#include <memory>
#include <vector>

#include "capi/tarnwick.h"
#include "client/client.h"
#include "client/stream_message.h"
#include "client/watcher.h"

struct tarnwick_client {
    static constexpr std::uint32_t live_tag = 0x4c43'5754;  // "TWCL"

    std::uint32_t tag = live_tag;
    // Shared with the watchers opened on it, so that closing the client first leaves them
    // working.
    std::shared_ptr<tarnwick::client::Client> client;
};

struct tarnwick_watcher {
    static constexpr std::uint32_t live_tag = 0x5457'5754;  // "TWWT"

    std::uint32_t tag = live_tag;
    // Declared before the watcher so that it outlives it.
    std::shared_ptr<tarnwick::client::Client> client;
    std::unique_ptr<tarnwick::client::Watcher> watcher;
    // The EndScan summary of the last message, for tarnwick_watcher_summary_entry.
    std::vector<tarnwick::client::ScanPortRates> summary;
};

namespace tarnwick::capi {

inline bool usable(const tarnwick_client* client) {
    return client != nullptr && client->tag == tarnwick_client::live_tag && client->client;
}

inline bool usable(const tarnwick_watcher* watcher) {
    return watcher != nullptr && watcher->tag == tarnwick_watcher::live_tag && watcher->watcher;
}

}  // namespace tarnwick::capi
