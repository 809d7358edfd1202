#include "tools/tarnwick/stream_follower.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick::cli {

client::ClientError follow_stream(client::Watcher& watcher, const FollowLimits& limits,
                                  const std::function<bool()>& stop,
                                  const std::function<bool(const client::StreamMessage&)>& take) {
    using clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    const bool bounded = limits.seconds > 0;
    const auto deadline =
        clock::now() + milliseconds(static_cast<long long>(limits.seconds * 1000));
    while (!stop()) {
        milliseconds wait = limits.longest_wait;
        if (bounded) {
            const auto left = std::chrono::ceil<milliseconds>(deadline - clock::now());
            if (left.count() <= 0) {
                break;
            }
            wait = std::min(wait, left);
        }
        client::StreamMessage message;
        std::uint64_t lost = 0;
        const auto error = watcher.next(wait, message, lost);
        if (lost != 0) {
            std::fprintf(stderr, "tarnwick watch: %llu messages lost (this watcher fell behind)\n",
                         static_cast<unsigned long long>(lost));
        }
        if (error == client::ClientError::timed_out) {
            continue;
        }
        if (error != client::ClientError::none) {
            return error;
        }
        if (!take(message)) {
            break;
        }
    }
    return client::ClientError::none;
}

}  // namespace tarnwick::cli
