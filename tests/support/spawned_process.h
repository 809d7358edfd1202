#pragma once
// A real child process for tests that need a second process of any program: started from a program
// path with arguments, its standard output readable line by line, killed and reaped when the object
// goes.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::test {

// The command line that starts `program` with `args`. Where the tests run under a user-mode
// emulator without binfmt_misc, the programs they start must run under it too:
// TARNWICK_TEST_EMULATOR names it (scripts/cross-test.sh), and it comes first.
std::vector<std::string> command_line(const std::filesystem::path& program,
                                      const std::vector<std::string>& args);

// The argument vector of exec and posix_spawn over `words`, which must outlive it.
std::vector<char*> argument_vector(std::vector<std::string>& words);

class SpawnedProcess {
  public:
    // Starts `program` with `args`; the child inherits the environment (TARNWICK_HOME included).
    SpawnedProcess(const std::filesystem::path& program, const std::vector<std::string>& args);
    ~SpawnedProcess();
    SpawnedProcess(const SpawnedProcess&) = delete;
    SpawnedProcess& operator=(const SpawnedProcess&) = delete;

    // The next line of the child's output without its newline; empty at the end of the output
    // or when no line comes within `timeout`.
    std::string read_line(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Everything the child writes until it closes its output.
    std::string read_all();
    // Waits for the child to end: its exit code, or -signal when a signal ended it.
    int wait();
    void kill(int signal);
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::string pending_;
};

// Runs `program` to its end and returns its output; `exit_code` receives what wait() returns.
std::string run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                      int* exit_code = nullptr);

}  // namespace tarnwick::test
