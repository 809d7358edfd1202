#pragma once
// tarnwickd running as a real process in the test's namespace: started with its arguments,
// ready once it has signalled its start event, and its exit.

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/spawned_process.h"

namespace tarnwick::test {

class ServiceProcess {
  public:
    // What becomes of the service's standard error: the test's own, or kept for errors().
    enum class Errors { inherited, kept };

    // Starts build/<dir>/server/tarnwickd with `args` in the test's environment.
    explicit ServiceProcess(const std::vector<std::string>& args = {},
                            Errors errors = Errors::inherited);

    // Waits until the service has signalled "TARNWICK_START"; false when it did not in time.
    bool wait_ready(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The exit code (-signal when a signal ended it).
    int wait() { return process_.wait(); }
    void signal(int number) { process_.kill(number); }
    pid_t pid() const { return process_.pid(); }
    // With Errors::kept: everything the service wrote on standard error, once it has ended.
    std::string errors() { return process_.read_all(); }

  private:
    SpawnedProcess process_;
};

// The service's executable in the build tree.
std::filesystem::path service_program();
// True when a process holds the start event, i.e. a service runs in the namespace.
bool start_event_exists();

}  // namespace tarnwick::test
