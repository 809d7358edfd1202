#include "tools/tarnwick-sim/pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/line_speed.h"

namespace tarnwick::sim {
namespace {

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        fail("posix_openpt");
    }
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        const int error = errno;
        close();
        errno = error;
        fail("pseudo-terminal setup");
    }
    slave_path_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings;
    if (slave_ < 0 || tcgetattr(slave_, &settings) != 0) {
        const int error = errno;
        close();
        errno = error;
        fail("open pseudo-terminal slave");
    }
    cfmakeraw(&settings);
    tcsetattr(slave_, TCSANOW, &settings);
}

PseudoTerminal::~PseudoTerminal() {
    close();
}

std::uint32_t PseudoTerminal::line_rate() const {
    termios settings;
    if (slave_ < 0 || tcgetattr(slave_, &settings) != 0) {
        return 0;
    }
    return platform::rate_for_speed(cfgetospeed(&settings));
}

void PseudoTerminal::send(std::string_view bytes) {
    while (master_ >= 0 && !bytes.empty()) {
        const ssize_t written = write(master_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::size_t PseudoTerminal::receive(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = master_ >= 0 ? read(master_, buffer, size) : 0;
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
}

void PseudoTerminal::close() {
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

}  // namespace tarnwick::sim
