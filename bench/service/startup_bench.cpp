// Start-up time of the service: from the creation of the process (just before posix_spawn) to
// the moment its start event "TARNWICK_START" is seen signalled. The benchmark waits for the
// event without spinning (inotify on the object directory, then the event's own wait), so it
// takes no CPU from the starting service. Every start but the first finds the namespace as a
// previous run left it (registry, object directory), as on a machine where the service has run
// before; the first, in a fresh namespace, is shown apart.
//
//   service_startup_bench [--starts 50] [--duration 120]

#include <CLI/CLI.hpp>
#include <cstdio>
#include <vector>

#include "bench/service/bench_namespace.h"
#include "bench/service/latency_summary.h"
#include "bench/service/service_child.h"

int main(int argc, char** argv) {
    int starts = 50;
    double duration = 120;
    CLI::App app{"Start-up time of tarnwickd: process start -> TARNWICK_START signalled"};
    app.add_option("--starts", starts, "starts to measure")->capture_default_str();
    app.add_option("--duration", duration, "seconds at most")->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    try {
        tarnwick::bench::BenchNamespace space;
        std::vector<std::int64_t> times;
        std::int64_t first = -1;
        long peak_kib = 0;
        const auto until = std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(static_cast<long>(duration * 1000));
        for (int run = 0; run <= starts && std::chrono::steady_clock::now() < until; ++run) {
            tarnwick::bench::ServiceChild service;
            const std::int64_t ready_at = service.wait_ready();
            if (ready_at < 0) {
                std::fprintf(stderr, "tarnwickd did not start (run %d)\n", run);
                return 1;
            }
            const std::int64_t took = ready_at - service.started_at_ns();
            peak_kib = std::max(peak_kib, service.peak_resident_kib());
            if (run == 0) {
                first = took;
            } else {
                times.push_back(took);
            }
            if (service.stop() != 0) {
                std::fprintf(stderr, "tarnwickd did not stop cleanly (run %d)\n", run);
                return 1;
            }
        }
        std::printf("tarnwickd start-up: process start -> \"TARNWICK_START\" signalled\n");
        std::printf("  first start in a fresh namespace: %.3f ms\n",
                    static_cast<double>(first) / 1e6);
        std::printf("  %zu further starts:\n", times.size());
        tarnwick::bench::print_summary(tarnwick::bench::summarize(times));
        std::printf("  peak resident set (VmHWM) right after start-up: %ld KiB at most\n",
                    peak_kib);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "service_startup_bench: %s\n", error.what());
        return 1;
    }
}
