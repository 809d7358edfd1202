#pragma once
// Watching the data stream, safely beside other watchers of this library (watch_ring.h): each
// watcher sees every message from the moment it opened, in order, or learns how many it lost.

#include <chrono>
#include <cstdint>
#include <memory>

#include "client/client.h"
#include "client/stream_message.h"
#include "client/watch_ring.h"

namespace tarnwick::client {

class Watcher {
  public:
    // Asks the service once whether RMC messages carry a tick (GetTimeStampMode), then joins the
    // ring at its current end. The client must outlive the watcher.
    static ClientError open(Client& client, std::unique_ptr<Watcher>& watcher);

    // The next message, waiting up to `timeout`; timed_out when none came. `lost` is set to the
    // number of messages this watcher missed since the last call (0 normally), also on a
    // time-out.
    ClientError next(std::chrono::milliseconds timeout, StreamMessage& message,
                     std::uint64_t& lost);

    bool tstamp() const noexcept { return tstamp_; }

  private:
    Watcher(Client& client, bool tstamp) : client_(client), tstamp_(tstamp) {}
    // With the ring locked: moves what "data_stream" holds into the ring; true when it held
    // anything.
    bool drain_data_stream();

    Client& client_;
    bool tstamp_;
    WatchRing ring_;
    std::uint64_t position_ = 0;
};

}  // namespace tarnwick::client
