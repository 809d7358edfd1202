#pragma once
// Watching the data stream, safely beside other watchers of this library: each watcher sees
// every message from the moment it opened, in order, or learns how many it lost
// (docs/protocol.md, "Watching the data stream").

#include <chrono>
#include <cstdint>
#include <memory>

#include "client/client.h"
#include "client/client_error.h"
#include "client/stream_message.h"

namespace tarnwick::client {

class Watcher {
  public:
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // Asks the service whether RMC messages carry a tick (GetTimeStampMode), then joins the
    // ring at its current end. A service started later, with other arguments, is followed: its
    // messages are framed as it announced (docs/protocol.md, "Service instances"). The client
    // must outlive the watcher.
    static ClientError open(Client& client, std::unique_ptr<Watcher>& watcher);

    // The next message, waiting up to `timeout`; timed_out when none came. `lost` is set to the
    // number of messages this watcher missed since the last call (0 normally), also on a
    // time-out.
    ClientError next(std::chrono::milliseconds timeout, StreamMessage& message,
                     std::uint64_t& lost);

    // Whether RMC messages of the service carry a tick, as this watcher last learnt.
    bool tstamp() const noexcept;

  private:
    struct State;

    explicit Watcher(std::unique_ptr<State> state);

    // The ring, this watcher's place in it and the client it drains through.
    std::unique_ptr<State> state_;
};

}  // namespace tarnwick::client
