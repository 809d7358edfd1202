#include "tools/tarnwick-sim/stop_signals.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tarnwick::sim {
namespace {

sigset_t stop_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = stop_set();
    // A reader that goes away must not kill the writer; writes report EPIPE/EIO instead.
    signal(SIGPIPE, SIG_IGN);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
        throw std::system_error(errno, std::generic_category(), "sigprocmask");
    }
    fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "signalfd");
    }
}

StopSignals::~StopSignals() {
    close(fd_);
}

bool StopSignals::arrived() noexcept {
    signalfd_siginfo info;
    return read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
}

}  // namespace tarnwick::sim
