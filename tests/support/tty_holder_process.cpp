#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "tests/support/tty_holder.h"

namespace tarnwick::test {

TtyHolder::TtyHolder(const std::string& path, Way way)
    : process_(TARNWICK_TTY_HOLDER, {way == Way::session ? "session" : "open", path}) {
    EXPECT_EQ(process_.read_line(), "ready") << "tty_holder did not take " << path;
}

termios line_settings(const std::string& path) {
    termios settings{};
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    if (fd >= 0) {
        EXPECT_EQ(tcgetattr(fd, &settings), 0) << path;
        close(fd);
    }
    return settings;
}

bool same_settings(const termios& a, const termios& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace tarnwick::test
