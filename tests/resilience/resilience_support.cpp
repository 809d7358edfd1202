#include "tests/resilience/resilience_support.h"

#include <cstdlib>

namespace tarnwick::test {
namespace {

#if defined(__SANITIZE_THREAD__)
constexpr double default_scale = 0.25;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr double default_scale = 0.25;
#else
constexpr double default_scale = 1.0;
#endif
#else
constexpr double default_scale = 1.0;
#endif

double scale() {
    const char* text = std::getenv("TARNWICK_STRESS_SCALE");
    const double chosen = text != nullptr ? std::atof(text) : 0.0;
    return chosen > 0.0 ? chosen : default_scale;
}

}  // namespace

int scaled(int count) {
    const int scaled_count = static_cast<int>(count * scale());
    return scaled_count > 0 ? scaled_count : 1;
}

std::chrono::seconds load_duration() {
    const char* text = std::getenv("TARNWICK_LOAD_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 8);
}

std::unique_ptr<SpawnedProcess> guard_holder(const std::string& kind, const std::string& name) {
    return std::make_unique<SpawnedProcess>(GUARD_HOLDER_PATH,
                                            std::vector<std::string>{kind, name});
}

std::unique_ptr<SpawnedProcess> load_client(std::chrono::seconds duration, const std::string& port,
                                            int baud) {
    return std::make_unique<SpawnedProcess>(
        LOAD_CLIENT_PATH,
        std::vector<std::string>{std::to_string(duration.count()), port, std::to_string(baud)});
}

std::unique_ptr<SpawnedProcess> load_watcher(std::chrono::seconds duration,
                                             std::chrono::seconds stall_after) {
    std::vector<std::string> args = {std::to_string(duration.count())};
    if (stall_after.count() > 0) {
        args.push_back(std::to_string(stall_after.count()));
    }
    return std::make_unique<SpawnedProcess>(LOAD_WATCHER_PATH, args);
}

std::unique_ptr<SpawnedProcess> without_dac_override(const std::string& program,
                                                     const std::vector<std::string>& args) {
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    return std::make_unique<SpawnedProcess>(WITHOUT_DAC_OVERRIDE_PATH, words);
}

std::unique_ptr<SpawnedProcess> without_syscalls(const std::string& calls,
                                                 const std::string& program,
                                                 const std::vector<std::string>& args) {
    std::vector<std::string> words = {calls.empty() ? "none" : calls, program};
    words.insert(words.end(), args.begin(), args.end());
    return std::make_unique<SpawnedProcess>(WITHOUT_SYSCALLS_PATH, words);
}

std::string stderr_of_without_syscalls(const std::string& calls, const std::string& program,
                                       int* exit_code) {
    // The shell hands the program's standard error to the output the test reads.
    return run_child("/bin/sh",
                     {"-c", "exec \"$0\" \"$@\" 2>&1 >/dev/null", WITHOUT_SYSCALLS_PATH,
                      calls.empty() ? "none" : calls, program},
                     exit_code);
}

}  // namespace tarnwick::test
