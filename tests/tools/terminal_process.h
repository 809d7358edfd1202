#pragma once
// A program run inside a pseudo-terminal of a chosen size, as a person at a terminal runs it:
// its own session with the terminal as its controlling one, everything it writes captured.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::test {

class TerminalProcess {
  public:
    // Starts `program` with `args` on a new terminal of `rows` × `columns`, in the test's
    // environment. Throws std::runtime_error when the terminal cannot be made.
    TerminalProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                    int rows, int columns);
    // Kills (SIGKILL) and reaps the program if it still runs.
    ~TerminalProcess();
    TerminalProcess(const TerminalProcess&) = delete;
    TerminalProcess& operator=(const TerminalProcess&) = delete;

    // Reads until what the program wrote since `from` contains every one of `texts`; false
    // when the time ran out or the program closed the terminal first.
    bool wait_for(const std::vector<std::string>& texts, std::size_t from,
                  std::chrono::milliseconds timeout);
    // Reads until the program closes the terminal (or the time runs out).
    void read_to_end(std::chrono::milliseconds timeout);
    // Everything written so far, escapes included.
    const std::string& output() const noexcept { return output_; }

    void signal(int number);
    // The exit code, or -signal when a signal ended it.
    int wait();

  private:
    // Reads what is there, waiting up to `timeout`; false at the end of the output.
    bool read_more(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int terminal_ = -1;
    bool ended_ = false;
    bool reaped_ = false;
    int status_ = 0;
    std::string output_;
};

}  // namespace tarnwick::test
