#pragma once
// Percentiles of a set of latencies, by rank in the sorted samples (no interpolation).

#include <cstdint>
#include <vector>

namespace tarnwick::bench {

struct LatencySummary {
    std::size_t count = 0;
    double p50_ms = 0;
    double p99_ms = 0;
    double max_ms = 0;
    double mean_ms = 0;
};

LatencySummary summarize(std::vector<std::int64_t> nanoseconds);

// One line: "p50 0.123 ms  p99 0.250 ms  max 1.204 ms  mean 0.130 ms  (n = 6000)".
void print_summary(const LatencySummary& summary);

}  // namespace tarnwick::bench
