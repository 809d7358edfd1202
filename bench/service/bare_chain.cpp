#include "bench/service/bare_chain.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "bench/service/receiver_line.h"

namespace tarnwick::bench {
namespace {

void futex_wait(std::atomic<std::uint32_t>& word, std::uint32_t seen) {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, seen, nullptr,
            nullptr, 0);
}

void futex_wake(std::atomic<std::uint32_t>& word) {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr,
            nullptr, 0);
}

}  // namespace

BareChain::BareChain(std::size_t periods) : received_at_(periods, -1) {
    // A blocking descriptor of its own: the reader sleeps in read() as a plain serial reader does.
    reader_fd_ = open(line_.slave_path().c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (reader_fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "open " + line_.slave_path());
    }
    reader_ = std::thread([this] { read_lines(); });
    stamper_ = std::thread([this] { stamp_lines(); });
}

BareChain::~BareChain() {
    stop();
}

void BareChain::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    line_.close();  // the blocked read() returns: the line hung up
    published_.fetch_add(1);
    futex_wake(published_);
    reader_.join();
    stamper_.join();
    close(reader_fd_);
}

std::int64_t BareChain::send(std::size_t period) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%zu\n", period);
    if (length <= 0 || write(line_.master_fd(), text, static_cast<std::size_t>(length)) != length) {
        return -1;
    }
    return monotonic_ns();
}

void BareChain::read_lines() {
    char buffer[64];
    std::size_t filled = 0;
    while (!stopping_.load()) {
        const ssize_t got = read(reader_fd_, buffer + filled, sizeof buffer - 1 - filled);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        filled += static_cast<std::size_t>(got);
        buffer[filled] = '\0';
        if (buffer[filled - 1] != '\n' && filled < sizeof buffer - 1) {
            continue;
        }
        period_.store(std::strtoll(buffer, nullptr, 10));
        filled = 0;
        published_.fetch_add(1);
        futex_wake(published_);
    }
}

void BareChain::stamp_lines() {
    std::uint32_t seen = published_.load();
    for (;;) {
        futex_wait(published_, seen);
        const std::int64_t now = monotonic_ns();
        const std::uint32_t current = published_.load();
        if (stopping_.load()) {
            return;
        }
        if (current == seen) {
            continue;  // woken for nothing
        }
        seen = current;
        const std::int64_t period = period_.load();
        if (period >= 0 && static_cast<std::size_t>(period) < received_at_.size()) {
            received_at_[static_cast<std::size_t>(period)] = now;
        }
    }
}

}  // namespace tarnwick::bench
