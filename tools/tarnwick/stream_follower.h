#pragma once
// The loop of `tarnwick watch` without the live view: the data stream's messages one after
// another until the caller has had enough, a stop is asked for, the time is up or the stream
// fails. Messages this watcher lost are reported on standard error as they are learnt.

#include <chrono>
#include <functional>

#include "client/client_error.h"
#include "client/stream_message.h"
#include "client/watcher.h"

namespace tarnwick::cli {

struct FollowLimits {
    double seconds = 0;  // 0: no limit
    // The longest single wait, so that `stop` is asked at least this often.
    std::chrono::milliseconds longest_wait{1000};
};

// `take` gets each message and returns false when it wants no more; `stop` is asked between
// waits. none when one of those, or the time, ended it; the stream's error otherwise.
client::ClientError follow_stream(client::Watcher& watcher, const FollowLimits& limits,
                                  const std::function<bool()>& stop,
                                  const std::function<bool(const client::StreamMessage&)>& take);

}  // namespace tarnwick::cli
