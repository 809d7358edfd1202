#include "bench/service/receiver_line.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::bench {

std::int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void sleep_until(std::int64_t at_ns) {
    const timespec at{static_cast<time_t>(at_ns / 1'000'000'000),
                      static_cast<long>(at_ns % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

ReceiverLine::ReceiverLine() : binding_(L"", line_.slave_path()) {}

bool ReceiverLine::send(std::string_view bytes, std::int64_t& written_at_ns) {
    const int master = line_.master_fd();
    while (!bytes.empty()) {
        if (cancelled_) {
            return false;
        }
        const ssize_t written = write(master, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            return false;
        }
        pollfd writable{master, POLLOUT, 0};
        if (poll(&writable, 1, 100) < 0 && errno != EINTR) {
            return false;
        }
    }
    written_at_ns = monotonic_ns();
    return true;
}

bool ReceiverLine::send(std::string_view bytes) {
    std::int64_t ignored = 0;
    return send(bytes, ignored);
}

}  // namespace tarnwick::bench
