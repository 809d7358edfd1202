#include "tests/support/spawned_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace tarnwick::test {

std::vector<std::string> command_line(const std::filesystem::path& program,
                                      const std::vector<std::string>& args) {
    std::vector<std::string> words;
    if (const char* emulator = std::getenv("TARNWICK_TEST_EMULATOR"); emulator != nullptr) {
        words.emplace_back(emulator);
    }
    words.push_back(program.string());
    words.insert(words.end(), args.begin(), args.end());
    return words;
}

std::vector<char*> argument_vector(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    return argv;
}

SpawnedProcess::SpawnedProcess(const std::filesystem::path& program,
                               const std::vector<std::string>& args) {
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);

    std::vector<std::string> words = command_line(program, args);
    std::vector<char*> argv = argument_vector(words);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    output_ = pipe_ends[0];
    if (spawned != 0) {
        close(output_);
        throw std::runtime_error("posix_spawn failed: " + program.string());
    }
}

SpawnedProcess::~SpawnedProcess() {
    if (!reaped_) {
        kill(SIGKILL);
        wait();
    }
    close(output_);
}

std::string SpawnedProcess::read_line(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return {};
        }
        pollfd readable{output_, POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            return {};
        }
        char chunk[256];
        const ssize_t got = ::read(output_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return std::exchange(pending_, {});
        }
        pending_.append(chunk, static_cast<std::size_t>(got));
    }
}

std::string SpawnedProcess::read_all() {
    std::string all = std::exchange(pending_, {});
    char chunk[256];
    for (;;) {
        const ssize_t got = ::read(output_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return all;
        }
        all.append(chunk, static_cast<std::size_t>(got));
    }
}

int SpawnedProcess::wait() {
    if (!reaped_) {
        while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
    if (WIFSIGNALED(status_)) {
        return -WTERMSIG(status_);
    }
    return WEXITSTATUS(status_);
}

void SpawnedProcess::kill(int signal) {
    if (!reaped_) {
        ::kill(pid_, signal);
    }
}

std::string run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                      int* exit_code) {
    SpawnedProcess child(program, args);
    std::string output = child.read_all();
    const int code = child.wait();
    if (exit_code != nullptr) {
        *exit_code = code;
    }
    return output;
}

}  // namespace tarnwick::test
