#include "tests/platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

extern char** environ;

namespace tarnwick::test {

ChildProcess::ChildProcess(const std::vector<std::string>& arguments) {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> all{TARNWICK_PLATFORM_HELPER};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    if (rc != 0) {
        close(pipe_fds[0]);
        throw std::runtime_error("cannot start " + all[0]);
    }
    output_ = pipe_fds[0];
}

ChildProcess::~ChildProcess() {
    if (!status_) {
        kill_hard();
    }
    if (output_ >= 0) {
        close(output_);
    }
}

std::optional<std::string> ChildProcess::read_line(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (auto newline = pending_.find('\n'); newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd entry{output_, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[256];
        ssize_t got = read(output_, chunk, sizeof chunk);
        if (got <= 0) {
            return std::nullopt;
        }
        pending_.append(chunk, static_cast<std::size_t>(got));
    }
}

void ChildProcess::kill_hard() {
    if (status_ || pid_ < 0) {
        return;
    }
    ::kill(pid_, SIGKILL);
    wait(std::chrono::seconds(30));
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (status_) {
        return status_;
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace tarnwick::test
