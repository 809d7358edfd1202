#pragma once
// tarnwick-sim running as a real process for a test: its first output line (the port binding
// or the producer's name), its log on standard error, signals, and its exit.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace tarnwick::test {

class SimProcess {
  public:
    // Starts tarnwick-sim with `args`, in the test's environment (TARNWICK_HOME included).
    explicit SimProcess(const std::vector<std::string>& args);
    // Kills (SIGKILL) and reaps the simulator if it still runs.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The first line of standard output without its newline; empty when none comes in time.
    std::string first_line(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits until a line of the log contains `text`; true when one did within the time.
    bool log_contains(const std::string& text,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Everything logged so far.
    const std::string& log() const noexcept { return log_; }

    void signal(int number);
    pid_t pid() const noexcept { return pid_; }
    // The exit code, or -signal when a signal ended it.
    int wait();

  private:
    // Reads whatever `fd` has into `into`, waiting up to `timeout` for something; false at the
    // end of the stream or when nothing came.
    static bool read_more(int fd, std::string& into, std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::string output_;
    std::string log_;
};

}  // namespace tarnwick::test
