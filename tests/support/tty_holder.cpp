// A program that holds a terminal device the way other programs on a machine do, for the tests
// of ports that are in use:
//
//   tty_holder open PATH      keeps PATH open (no lock, no exclusive mode, not its controlling
//                             terminal) in canonical mode with echo at 9600 baud
//   tty_holder session PATH   makes PATH the controlling terminal of a new session, then closes
//                             every descriptor of it
//
// It prints "ready" once it holds the device and then waits until it is killed.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

int hold_open(const char* path) {
    const int fd = open(path, O_RDWR | O_NOCTTY);
    termios settings{};
    if (fd < 0 || tcgetattr(fd, &settings) != 0) {
        std::perror(path);
        return 1;
    }
    settings.c_iflag |= ICRNL | IXON;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        std::perror("tcsetattr");
        return 1;
    }
    return 0;
}

int hold_as_session(const char* path) {
    if (setsid() < 0) {
        std::perror("setsid");
        return 1;
    }
    const int fd = open(path, O_RDWR);
    if (fd < 0 || ioctl(fd, TIOCSCTTY, 0) != 0) {
        std::perror(path);
        return 1;
    }
    close(fd);  // a controlling terminal stays one without any descriptor
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tty_holder open|session PATH\n");
        return 2;
    }
    const int failed =
        std::strcmp(argv[1], "session") == 0 ? hold_as_session(argv[2]) : hold_open(argv[2]);
    if (failed != 0) {
        return failed;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        pause();
    }
}
