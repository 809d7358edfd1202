#include "bench/service/service_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "bench/service/receiver_line.h"
#include "platform/namespace.h"
#include "platform/win32.h"

extern char** environ;

namespace tarnwick::bench {
namespace {

std::int64_t nanoseconds(const timeval& time) {
    return std::int64_t{time.tv_sec} * 1'000'000'000 + std::int64_t{time.tv_usec} * 1000;
}

// True once the start event exists and is signalled, or when `deadline_ns` passed while it
// existed without being signalled (then `ready` stays false).
bool try_start_event(std::int64_t deadline_ns, bool& ready) {
    const HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"TARNWICK_START");
    if (event == nullptr) {
        return false;
    }
    const std::int64_t left_ms =
        std::max<std::int64_t>(0, (deadline_ns - monotonic_ns()) / 1000000);
    ready = WaitForSingleObject(event, static_cast<DWORD>(left_ms)) == WAIT_OBJECT_0;
    // Held open, the event would outlive the service and stand for a running instance.
    CloseHandle(event);
    return true;
}

}  // namespace

ServiceChild::ServiceChild(const std::vector<std::string>& args) {
    std::string program = TARNWICKD_PATH;
    std::vector<std::string> words = args;
    std::vector<char*> argv{program.data()};
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (std::getenv("TARNWICK_DEBUG") == nullptr) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    started_at_ns_ = monotonic_ns();
    const int spawned =
        posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::system_error(spawned, std::generic_category(), "cannot start " + program);
    }
}

ServiceChild::~ServiceChild() {
    if (!reaped_) {
        kill(pid_, SIGKILL);
        reap(nullptr);
    }
}

std::int64_t ServiceChild::wait_ready(std::chrono::milliseconds timeout) {
    const std::int64_t deadline = monotonic_ns() + timeout.count() * 1'000'000;
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    const std::string objects = platform::objects_directory().string();
    if (watch >= 0) {
        inotify_add_watch(watch, objects.c_str(),
                          IN_CREATE | IN_MODIFY | IN_ATTRIB | IN_OPEN | IN_MOVED_TO);
    }
    std::int64_t ready_at = -1;
    for (;;) {
        bool ready = false;
        if (try_start_event(deadline, ready)) {
            ready_at = ready ? monotonic_ns() : -1;
            break;
        }
        const std::int64_t left_ns = deadline - monotonic_ns();
        if (left_ns <= 0 || !running()) {
            break;
        }
        // Any change among the object files may be the start event; the short poll is only a
        // safety net for a change inotify cannot report.
        pollfd changed{watch, POLLIN, 0};
        poll(&changed, watch >= 0 ? 1 : 0, 2);
        char events[4096];
        while (watch >= 0 && read(watch, events, sizeof events) > 0) {
        }
    }
    if (watch >= 0) {
        close(watch);
    }
    return ready_at;
}

std::int64_t ServiceChild::cpu_ns() const {
    clockid_t clock{};
    timespec used{};
    if (reaped_ || clock_getcpuclockid(pid_, &clock) != 0 || clock_gettime(clock, &used) != 0) {
        return -1;
    }
    return std::int64_t{used.tv_sec} * 1'000'000'000 + used.tv_nsec;
}

long ServiceChild::status_kib(const char* field) const {
    if (reaped_) {
        return -1;
    }
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    const std::size_t length = std::strlen(field);
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':') {
            return std::strtol(line.c_str() + length + 1, nullptr, 10);
        }
    }
    return -1;
}

long ServiceChild::peak_resident_kib() const {
    return status_kib("VmHWM");
}

long ServiceChild::resident_kib() const {
    return status_kib("VmRSS");
}

std::map<pid_t, ServiceChild::Switches> ServiceChild::thread_switches() const {
    std::map<pid_t, Switches> switches;
    if (reaped_) {
        return switches;
    }
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid_) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream status(task.path() / "status");
        Switches count;
        std::string line;
        while (std::getline(status, line)) {
            constexpr std::string_view voluntary = "voluntary_ctxt_switches:";
            constexpr std::string_view involuntary = "nonvoluntary_ctxt_switches:";
            if (line.starts_with(voluntary)) {
                count.voluntary = std::strtoull(line.c_str() + voluntary.size(), nullptr, 10);
            } else if (line.starts_with(involuntary)) {
                count.involuntary = std::strtoull(line.c_str() + involuntary.size(), nullptr, 10);
            }
        }
        switches[static_cast<pid_t>(std::stol(task.path().filename().string()))] = count;
    }
    return switches;
}

bool ServiceChild::running() const {
    if (reaped_) {
        return false;
    }
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

int ServiceChild::stop(std::int64_t* total_cpu_ns) {
    if (!reaped_) {
        kill(pid_, SIGTERM);
    }
    return reap(total_cpu_ns);
}

int ServiceChild::reap(std::int64_t* total_cpu_ns) {
    if (!reaped_) {
        int status = 0;
        rusage usage{};
        while (wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        exit_code_ = WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
        if (total_cpu_ns != nullptr) {
            *total_cpu_ns = nanoseconds(usage.ru_utime) + nanoseconds(usage.ru_stime);
        }
    }
    return exit_code_;
}

}  // namespace tarnwick::bench
