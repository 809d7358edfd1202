#pragma once
// A helper process for the cross-process tests: started with arguments, its standard output
// read line by line, killed or awaited.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::test {

class ChildProcess {
  public:
    // Starts the platform test helper (tarnwick_platform_helper) with `arguments`. The child
    // inherits the environment, TARNWICK_HOME included.
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line the child printed (without newline); nothing on end of output or time-out.
    std::optional<std::string> read_line(
        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void kill_hard();  // SIGKILL and reap
    // The exit code, or -signal when a signal ended it; waits at most `timeout`.
    std::optional<int> wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    std::optional<int> status_;
};

}  // namespace tarnwick::test
