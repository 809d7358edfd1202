#include "platform/stop_signals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

namespace tarnwick::platform {
namespace {

[[noreturn]] void throw_errno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

StopSignals::StopSignals(std::initializer_list<int> signals) {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : signals) {
        sigaddset(&set, number);
    }
    const int blocked = pthread_sigmask(SIG_BLOCK, &set, nullptr);
    if (blocked != 0) {
        throw std::system_error(blocked, std::generic_category(), "pthread_sigmask");
    }
    signal_fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signal_fd_ < 0) {
        throw_errno("signalfd");
    }
}

StopSignals::~StopSignals() {
    stop_watching();
    if (closing_fd_ >= 0) {
        close(closing_fd_);
    }
    close(signal_fd_);
}

bool StopSignals::arrived() noexcept {
    signalfd_siginfo info;
    return read(signal_fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
}

void StopSignals::stop_watching() noexcept {
    if (watcher_.joinable()) {
        const std::uint64_t one = 1;
        while (write(closing_fd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        watcher_.join();
    }
}

void StopSignals::watch(std::function<void()> on_stop) {
    closing_fd_ = eventfd(0, EFD_CLOEXEC);
    if (closing_fd_ < 0) {
        throw_errno("eventfd");
    }
    watcher_ = std::thread([this, stop = std::move(on_stop)] {
        for (;;) {
            pollfd watched[2] = {{signal_fd_, POLLIN, 0}, {closing_fd_, POLLIN, 0}};
            if (poll(watched, 2, -1) < 0) {
                continue;  // EINTR
            }
            if ((watched[1].revents & POLLIN) != 0) {
                return;
            }
            if ((watched[0].revents & POLLIN) != 0 && arrived()) {
                stop();
                return;
            }
        }
    });
}

}  // namespace tarnwick::platform
