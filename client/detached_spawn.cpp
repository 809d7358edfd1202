#include "client/detached_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::client {
namespace {

// Only async-signal-safe calls from here on: the caller may have other threads.
[[noreturn]] void run_grandchild(const char* program, int report) {
    // A caller that blocks its stop signals to end in order (watch's track logs) must not
    // leave them blocked for the service, which outlives it.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null_device = open("/dev/null", O_RDWR);
    if (null_device >= 0) {
        dup2(null_device, STDIN_FILENO);
        dup2(null_device, STDOUT_FILENO);
        dup2(null_device, STDERR_FILENO);
    }
    char* const argv[] = {const_cast<char*>(program), nullptr};
    execv(program, argv);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(report, &error, sizeof error);
    _exit(127);
}

}  // namespace

int spawn_detached(const std::string& program) {
    // The exec closes the write end on success, so the starter reads nothing; on failure the
    // grandchild reports errno through it.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return errno;
    }
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        return error;
    }
    if (child == 0) {
        close(report[0]);
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            run_grandchild(program.c_str(), report[1]);
        }
        if (grandchild < 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t written = write(report[1], &error, sizeof error);
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace tarnwick::client
