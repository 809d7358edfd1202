#include "client/watcher.h"

#include <algorithm>
#include <optional>
#include <span>

#include "base/trace.h"
#include "client/channel_bytes.h"
#include "client/client_state.h"
#include "client/message_decoding.h"
#include "client/watch_ring.h"
#include "exchange/service_instance_block.h"

namespace tarnwick::client {
namespace {

DWORD as_wait_ms(std::chrono::milliseconds left) {
    return static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(left.count(), INFINITE - 1));
}

}  // namespace

struct Watcher::State {
    explicit State(Client::State& client_state) : client(client_state) {}

    // With the ring locked: moves what "data_stream" holds into the ring, one slot per message;
    // true when it held anything.
    bool drain_data_stream();
    // A service that started since the last look frames its messages its own way; it announced
    // the way before it published anything, so bytes taken before this look are cut right.
    void follow_service_instance();

    Client::State& client;
    GPS::service_instance_block service;
    // The instance whose framing `tstamp` is; none while no service announced itself.
    std::optional<std::uint32_t> instance;
    bool tstamp = false;
    WatchRing ring;
    std::uint64_t position = 0;
};

Watcher::Watcher(std::unique_ptr<State> state) : state_(std::move(state)) {}

Watcher::~Watcher() = default;

bool Watcher::tstamp() const noexcept {
    return state_->tstamp;
}

ClientError Watcher::open(Client& client, std::unique_ptr<Watcher>& watcher) {
    watcher.reset();
    auto state = std::make_unique<State>(*client.state_);
    // Looked at before asking, so that a service that starts in between shows as a new instance
    // at the first drain. Without the block, what the service answers is all there is to know.
    if (state->service.open()) {
        if (const auto now = state->service.current()) {
            state->instance = now->number;
        }
    }
    const ClientError asked = client.get_time_stamp_mode(state->tstamp);
    if (asked != ClientError::none) {
        return asked;
    }
    if (!client.state_->open_data_stream() || !state->ring.open()) {
        return ClientError::channel_failed;
    }
    WatchRing::Lock lock(state->ring);
    if (!lock.held()) {
        return ClientError::channel_failed;
    }
    state->position = state->ring.next_sequence();
    watcher.reset(new Watcher(std::move(state)));
    return ClientError::none;
}

void Watcher::State::follow_service_instance() {
    const auto now = service.current();
    if (!now || now->number == instance) {
        return;
    }
    trace(L"tarnwick client: service instance %u, RMC messages %ls a tick", now->number,
          now->tstamp ? L"with" : L"without");
    instance = now->number;
    tstamp = now->tstamp;
}

bool Watcher::State::drain_data_stream() {
    const std::vector<std::uint8_t> bytes = take_stored_bytes(client.objects.data_stream);
    if (bytes.empty()) {
        return false;
    }
    follow_service_instance();
    std::span<const std::uint8_t> rest(bytes);
    while (!rest.empty()) {
        const std::size_t length = message_length(rest, tstamp);
        if (length == 0) {
            // The rest cannot be delimited: one lost message stands for it.
            trace(L"tarnwick client: %d data-stream bytes without a known message",
                  static_cast<int>(rest.size()));
            ring.publish_lost();
            break;
        }
        ring.publish(rest.first(length), tstamp);
        rest = rest.subspan(length);
    }
    return true;
}

ClientError Watcher::next(std::chrono::milliseconds timeout, StreamMessage& message,
                          std::uint64_t& lost) {
    State& state = *state_;
    lost = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // A watcher woken by "GPS::DATASTREAM" took the signal from every other watcher: it owes them
    // the drain, even when the ring still holds messages for itself.
    bool owe_drain = false;
    for (;;) {
        std::uint32_t seen = 0;
        {
            WatchRing::Lock lock(state.ring);
            if (!lock.held()) {
                return ClientError::channel_failed;
            }
            if (owe_drain) {
                state.drain_data_stream();
                owe_drain = false;
            }
            for (;;) {
                std::span<const std::uint8_t> bytes;
                bool framed_with_ticks = state.tstamp;
                if (state.ring.read(state.position, bytes, framed_with_ticks, lost)) {
                    message = StreamMessage{};
                    if (decode_message(bytes, framed_with_ticks, message)) {
                        message.sequence = state.position - 1;
                        return ClientError::none;
                    }
                    ++lost;
                    continue;
                }
                if (!state.drain_data_stream()) {
                    break;
                }
            }
            // Whatever is appended from here on moves the count, and the sleep below ends.
            seen = state.ring.published();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return ClientError::timed_out;
        }
        owe_drain = state.ring.wait_for_news(state.client.objects.data_stream_event, seen,
                                             as_wait_ms(left)) == WAIT_OBJECT_0;
    }
}

}  // namespace tarnwick::client
