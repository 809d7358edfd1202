#include "tests/tools/terminal_process.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "tests/support/spawned_process.h"

namespace tarnwick::test {

TerminalProcess::TerminalProcess(const std::filesystem::path& program,
                                 const std::vector<std::string>& args, int rows, int columns) {
    std::vector<std::string> words = command_line(program, args);
    std::vector<char*> argv = argument_vector(words);
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(columns);
    // forkpty gives the child a session of its own with the terminal as its controlling one.
    pid_ = forkpty(&terminal_, nullptr, nullptr, &size);
    if (pid_ < 0) {
        throw std::runtime_error("forkpty failed");
    }
    if (pid_ == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
}

TerminalProcess::~TerminalProcess() {
    if (!reaped_) {
        signal(SIGKILL);
        wait();
    }
    close(terminal_);
}

bool TerminalProcess::read_more(std::chrono::milliseconds timeout) {
    if (ended_) {
        return false;
    }
    pollfd readable{terminal_, POLLIN, 0};
    const int ready = poll(&readable, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) {
        return ready == 0 || errno == EINTR;
    }
    char chunk[4096];
    const ssize_t got = ::read(terminal_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) {
        return true;
    }
    if (got <= 0) {
        ended_ = true;  // EIO once the program's side is closed everywhere
        return false;
    }
    output_.append(chunk, static_cast<std::size_t>(got));
    return true;
}

bool TerminalProcess::wait_for(const std::vector<std::string>& texts, std::size_t from,
                               std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        bool all = true;
        for (const std::string& text : texts) {
            all = all && output_.find(text, from) != std::string::npos;
        }
        if (all) {
            return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !read_more(left)) {
            return false;
        }
    }
}

void TerminalProcess::read_to_end(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !read_more(left)) {
            return;
        }
    }
}

void TerminalProcess::signal(int number) {
    if (!reaped_) {
        ::kill(pid_, number);
    }
}

int TerminalProcess::wait() {
    if (!reaped_) {
        while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -WTERMSIG(status_);
}

}  // namespace tarnwick::test
