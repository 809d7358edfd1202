#include "tests/tools/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "tests/support/spawned_process.h"
#include "tests/tools/tool_runner.h"

extern char** environ;

namespace tarnwick::test {
namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds left_until(Clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& args) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    const std::filesystem::path program = built_program("tools/tarnwick-sim/tarnwick-sim");
    std::vector<std::string> words = command_line(program, args);
    std::vector<char*> argv = argument_vector(words);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (spawned != 0) {
        close(out_);
        close(err_);
        throw std::runtime_error("cannot start " + program.string());
    }
}

SimProcess::~SimProcess() {
    signal(SIGKILL);
    wait();
    close(out_);
    close(err_);
}

bool SimProcess::read_more(int fd, std::string& into, std::chrono::milliseconds timeout) {
    pollfd readable{fd, POLLIN, 0};
    const int ready = poll(&readable, 1, static_cast<int>(std::max<long>(0, timeout.count())));
    if (ready <= 0) {
        return false;
    }
    char chunk[512];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got <= 0) {
        return false;
    }
    into.append(chunk, static_cast<std::size_t>(got));
    return true;
}

std::string SimProcess::first_line(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (output_.find('\n') == std::string::npos) {
        if (!read_more(out_, output_, left_until(deadline))) {
            return {};
        }
    }
    return output_.substr(0, output_.find('\n'));
}

bool SimProcess::log_contains(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (log_.find(text) == std::string::npos) {
        if (!read_more(err_, log_, left_until(deadline))) {
            return false;
        }
    }
    return true;
}

void SimProcess::signal(int number) {
    if (!reaped_) {
        kill(pid_, number);
    }
}

int SimProcess::wait() {
    if (!reaped_) {
        while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        // What the simulator logged before it ended stays readable.
        while (read_more(err_, log_, std::chrono::milliseconds(0))) {
        }
    }
    return WIFSIGNALED(status_) ? -WTERMSIG(status_) : WEXITSTATUS(status_);
}

}  // namespace tarnwick::test
