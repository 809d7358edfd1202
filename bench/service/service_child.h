#pragma once
// tarnwickd as a child of the benchmark, in the benchmark's namespace: started, seen ready
// (its start event signalled), measured from outside (CPU time, resident memory), stopped.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarnwick::bench {

class ServiceChild {
  public:
    // Starts the service with `args`; its standard streams go to /dev/null unless
    // TARNWICK_DEBUG is set. Throws std::system_error when it cannot be started.
    explicit ServiceChild(const std::vector<std::string>& args = {});
    // Kills the service if it still runs.
    ~ServiceChild();
    ServiceChild(const ServiceChild&) = delete;
    ServiceChild& operator=(const ServiceChild&) = delete;

    pid_t pid() const noexcept { return pid_; }
    // CLOCK_MONOTONIC in nanoseconds just before the process was created.
    std::int64_t started_at_ns() const noexcept { return started_at_ns_; }

    // Waits until "TARNWICK_START" is signalled; CLOCK_MONOTONIC in nanoseconds when the wait saw
    // it, or -1 when it did not happen in time. Watching the namespace's object directory with
    // inotify, it costs no CPU while the service starts.
    std::int64_t wait_ready(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // CPU time (user + system, all threads) used so far, in nanoseconds; -1 once it has ended.
    std::int64_t cpu_ns() const;
    // Peak and current resident set (VmHWM, VmRSS) in KiB; -1 once it has ended.
    long peak_resident_kib() const;
    long resident_kib() const;
    // Context switches of each thread so far, from /proc/<pid>/task/<tid>/status; empty once
    // it has ended.
    struct Switches {
        std::uint64_t voluntary = 0;    // the thread waited
        std::uint64_t involuntary = 0;  // the thread was preempted
    };
    std::map<pid_t, Switches> thread_switches() const;
    // True while the process has not ended (a zombie counts as ended).
    bool running() const;

    // SIGTERM, then waits for the end. The exit code (-signal when a signal ended it), and the
    // process's whole CPU time in nanoseconds from the kernel's account of the child.
    int stop(std::int64_t* total_cpu_ns = nullptr);

  private:
    long status_kib(const char* field) const;
    int reap(std::int64_t* total_cpu_ns);

    pid_t pid_ = -1;
    bool reaped_ = false;
    int exit_code_ = 0;
    std::int64_t started_at_ns_ = 0;
};

}  // namespace tarnwick::bench
