#include "tests/support/scheduling.h"

#include <sched.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace tarnwick::test {
namespace {

struct ThreadScheduling {
    int nice = 0;
    int policy = -1;
};

// Fields 19 (nice) and 41 (policy) of /proc/<pid>/task/<tid>/stat, counted after the command
// name, which may itself hold spaces and parentheses. False when the file cannot be read.
bool read_scheduling(const std::filesystem::path& stat_file, ThreadScheduling& scheduling) {
    std::ifstream in(stat_file);
    std::string line;
    if (!std::getline(in, line)) {
        return false;
    }
    const std::size_t name_end = line.rfind(')');
    if (name_end == std::string::npos) {
        return false;
    }
    std::istringstream fields(line.substr(name_end + 1));
    std::string field;
    for (int index = 3; index <= 41; ++index) {
        if (!(fields >> field)) {
            return false;
        }
        if (index == 19) {
            scheduling.nice = std::stoi(field);
        } else if (index == 41) {
            scheduling.policy = std::stoi(field);
        }
    }
    return true;
}

bool allowed_on_probe_thread(const std::function<bool()>& attempt) {
    bool allowed = false;
    std::thread probe([&] { allowed = attempt(); });
    probe.join();
    return allowed;
}

}  // namespace

bool realtime_priority_allowed() {
    return allowed_on_probe_thread([] {
        const sched_param lowest{1};
        return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &lowest) == 0;
    });
}

int raised_thread_count(pid_t pid) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    std::filesystem::directory_iterator threads(tasks, error);
    if (error) {
        return -1;
    }
    int count = 0;
    for (const auto& thread : threads) {
        ThreadScheduling scheduling;
        if (read_scheduling(thread.path() / "stat", scheduling)) {
            const bool realtime = scheduling.policy == SCHED_FIFO || scheduling.policy == SCHED_RR;
            count += realtime || scheduling.nice < 0 ? 1 : 0;
        }
    }
    return count;
}

}  // namespace tarnwick::test
