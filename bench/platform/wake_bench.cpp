// Measures what the platform promises its waiters:
//  - the latency from SetEvent in one process to the return of a wait on two objects in
//    another (both stamp CLOCK_MONOTONIC; the setter's stamp travels in shared memory), once
//    with each way of waiting on several objects: futex_waitv, and the namespace's wake-up
//    word that kernels without it use (the echo process runs with TARNWICK_WAIT=futex);
//  - the CPU time a thread spends blocked for 10 seconds in a wait on two objects (run with
//    TARNWICK_WAIT=futex to measure it on the wake-up word).
// Usage: platform_wake_bench [round_trips] [idle_seconds]
// Runs in a private namespace (a temporary TARNWICK_HOME) unless one is set.

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/futex.h"
#include "platform/namespace.h"
#include "platform/win32.h"

extern char** environ;

namespace {

constexpr const wchar_t* kPing = L"bench::ping";
constexpr const wchar_t* kPong = L"bench::pong";
constexpr const wchar_t* kStop = L"bench::stop";
constexpr const wchar_t* kShared = L"bench::stamps";

// The shared block: the setter's stamp of the current round and the waiter's latency.
struct Stamps {
    std::atomic<std::int64_t> set_at_ns;
    std::atomic<std::int64_t> latency_ns;
};

std::int64_t now_ns(clockid_t clock = CLOCK_MONOTONIC) {
    timespec at{};
    clock_gettime(clock, &at);
    return std::int64_t{at.tv_sec} * 1'000'000'000 + at.tv_nsec;
}

Stamps* map_stamps(HANDLE& mapping) {
    mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, kShared);
    return mapping != nullptr
               ? static_cast<Stamps*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))
               : nullptr;
}

// The other process: wakes on ping, records the latency, answers with pong.
int echo() {
    HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, kPing);
    HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, kPong);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, kStop);
    HANDLE mapping = nullptr;
    Stamps* stamps = map_stamps(mapping);
    if (ping == nullptr || pong == nullptr || stop == nullptr || stamps == nullptr) {
        return 2;
    }
    SetEvent(pong);  // ready
    HANDLE both[] = {ping, stop};
    while (WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0) {
        stamps->latency_ns.store(now_ns() - stamps->set_at_ns.load());
        SetEvent(pong);
    }
    return 0;
}

double percentile(std::vector<double>& values, double share) {
    std::sort(values.begin(), values.end());
    std::size_t index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

// The environment of the echo process: ours, with TARNWICK_WAIT=futex or without TARNWICK_WAIT.
std::vector<char*> echo_environment(bool wake_word, std::string& forced) {
    std::vector<char*> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "TARNWICK_WAIT=", 14) != 0) {
            environment.push_back(*entry);
        }
    }
    forced = "TARNWICK_WAIT=futex";
    if (wake_word) {
        environment.push_back(forced.data());
    }
    environment.push_back(nullptr);
    return environment;
}

int measure_latency(const char* self, int round_trips, bool wake_word) {
    HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, kPing);
    HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, kPong);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, kStop);
    HANDLE mapping = nullptr;
    Stamps* stamps = map_stamps(mapping);
    if (stamps == nullptr) {
        std::fprintf(stderr, "cannot create the shared objects\n");
        return 1;
    }
    std::string self_path = self;
    std::string mode = "--echo";
    char* argv[] = {self_path.data(), mode.data(), nullptr};
    pid_t child = 0;
    std::string forced;
    std::vector<char*> environment = echo_environment(wake_word, forced);
    if (posix_spawn(&child, self, nullptr, nullptr, argv, environment.data()) != 0) {
        std::fprintf(stderr, "cannot start the echo process\n");
        return 1;
    }
    if (WaitForSingleObject(pong, 10000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "the echo process did not start\n");
        return 1;
    }
    std::vector<double> one_way_us;
    std::vector<double> round_trip_us;
    for (int i = 0; i < round_trips; ++i) {
        std::int64_t start = now_ns();
        stamps->set_at_ns.store(start);
        SetEvent(ping);
        if (WaitForSingleObject(pong, 5000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "round %d timed out\n", i);
            return 1;
        }
        round_trip_us.push_back(static_cast<double>(now_ns() - start) / 1000.0);
        one_way_us.push_back(static_cast<double>(stamps->latency_ns.load()) / 1000.0);
    }
    SetEvent(stop);
    int status = 0;
    waitpid(child, &status, 0);
    std::printf(
        "cross-process wake latency (SetEvent -> return from a wait on two objects, %s), %d "
        "samples:\n",
        wake_word ? "wake-up word" : "futex_waitv", round_trips);
    std::printf("  one way:    p50 %7.1f us   p99 %7.1f us   max %8.1f us\n",
                percentile(one_way_us, 0.50), percentile(one_way_us, 0.99),
                percentile(one_way_us, 1.0));
    std::printf("  round trip: p50 %7.1f us   p99 %7.1f us   max %8.1f us\n",
                percentile(round_trip_us, 0.50), percentile(round_trip_us, 0.99),
                percentile(round_trip_us, 1.0));
    UnmapViewOfFile(stamps);
    CloseHandle(mapping);
    CloseHandle(stop);
    CloseHandle(pong);
    CloseHandle(ping);
    return 0;
}

void measure_idle_cpu(int seconds) {
    HANDLE never[] = {CreateEventW(nullptr, TRUE, FALSE, nullptr),
                      CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::int64_t cpu_ns = 0;
    std::int64_t wall_ns = 0;
    std::thread waiter([&] {
        std::int64_t cpu_before = now_ns(CLOCK_THREAD_CPUTIME_ID);
        std::int64_t wall_before = now_ns();
        WaitForMultipleObjects(2, never, FALSE, static_cast<DWORD>(seconds) * 1000);
        cpu_ns = now_ns(CLOCK_THREAD_CPUTIME_ID) - cpu_before;
        wall_ns = now_ns() - wall_before;
    });
    waiter.join();
    const bool wake_word =
        tarnwick::platform::multi_wait() == tarnwick::platform::MultiWait::wake_word;
    std::printf("thread waiting %.2f s on two objects (%s): %.1f us of CPU time\n",
                static_cast<double>(wall_ns) / 1e9, wake_word ? "wake-up word" : "futex_waitv",
                static_cast<double>(cpu_ns) / 1000.0);
    for (HANDLE handle : never) {
        CloseHandle(handle);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--echo") == 0) {
        return echo();
    }
    int round_trips = argc > 1 ? std::atoi(argv[1]) : 20000;
    int idle_seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    std::string home;
    if (getenv("TARNWICK_HOME") == nullptr) {
        home = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
        if (mkdtemp(home.data()) == nullptr) {
            return 1;
        }
        setenv("TARNWICK_HOME", home.c_str(), 1);
    }
    // futex_waitv only where the kernel has it; the wake-up word everywhere.
    const char* missing = nullptr;
    if (!tarnwick::platform::futex_calls_available(missing)) {
        std::fprintf(stderr, "the kernel lacks %s\n", missing);
        return 1;
    }
    int result = 0;
    if (tarnwick::platform::multi_wait() == tarnwick::platform::MultiWait::futex_waitv) {
        result = measure_latency(argv[0], std::max(round_trips, 1), false);
    } else {
        std::printf("futex_waitv: not used here (missing, or TARNWICK_WAIT=futex)\n");
    }
    if (result == 0) {
        result = measure_latency(argv[0], std::max(round_trips, 1), true);
    }
    if (result == 0 && idle_seconds > 0) {
        measure_idle_cpu(idle_seconds);
    }
    if (!home.empty()) {
        tarnwick::platform::remove_namespace(home);
    }
    return result;
}
