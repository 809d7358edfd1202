#include "client/watcher.h"

#include <algorithm>

#include "base/trace.h"
#include "client/channel_bytes.h"

namespace tarnwick::client {
namespace {

DWORD as_wait_ms(std::chrono::milliseconds left) {
    return static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(left.count(), INFINITE - 1));
}

}  // namespace

ClientError Watcher::open(Client& client, std::unique_ptr<Watcher>& watcher) {
    watcher.reset();
    bool tstamp = false;
    const ClientError asked = client.get_time_stamp_mode(tstamp);
    if (asked != ClientError::none) {
        return asked;
    }
    if (!client.open_data_stream()) {
        return ClientError::channel_failed;
    }
    std::unique_ptr<Watcher> opened(new Watcher(client, tstamp));
    if (!opened->ring_.open()) {
        return ClientError::channel_failed;
    }
    WatchRing::Lock lock(opened->ring_);
    if (!lock.held()) {
        return ClientError::channel_failed;
    }
    opened->position_ = opened->ring_.next_sequence();
    watcher = std::move(opened);
    return ClientError::none;
}

bool Watcher::drain_data_stream() {
    const std::vector<std::uint8_t> bytes = take_stored_bytes(client_.data_stream());
    std::span<const std::uint8_t> rest(bytes);
    while (!rest.empty()) {
        const std::size_t length = message_length(rest, tstamp_);
        if (length == 0) {
            // The rest cannot be delimited: one lost message stands for it.
            trace(L"tarnwick client: %d data-stream bytes without a known message",
                  static_cast<int>(rest.size()));
            ring_.publish_lost();
            break;
        }
        ring_.publish(rest.first(length));
        rest = rest.subspan(length);
    }
    return !bytes.empty();
}

ClientError Watcher::next(std::chrono::milliseconds timeout, StreamMessage& message,
                          std::uint64_t& lost) {
    lost = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::uint8_t> bytes;
    // A watcher woken by "GPS::DATASTREAM" took the signal from every other watcher: it owes them
    // the drain, even when the ring still holds messages for itself.
    bool owe_drain = false;
    for (;;) {
        std::uint32_t seen = 0;
        {
            WatchRing::Lock lock(ring_);
            if (!lock.held()) {
                return ClientError::channel_failed;
            }
            if (owe_drain) {
                drain_data_stream();
                owe_drain = false;
            }
            for (;;) {
                if (ring_.read(position_, bytes, lost)) {
                    message = StreamMessage{};
                    if (decode_message(bytes, tstamp_, message)) {
                        message.sequence = position_ - 1;
                        return ClientError::none;
                    }
                    ++lost;
                    continue;
                }
                if (!drain_data_stream()) {
                    break;
                }
            }
            // Whatever is appended from here on moves the count, and the sleep below ends.
            seen = ring_.published();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return ClientError::timed_out;
        }
        owe_drain = ring_.wait_for_news(client_.data_stream_event(), seen, as_wait_ms(left)) ==
                    WAIT_OBJECT_0;
    }
}

}  // namespace tarnwick::client
