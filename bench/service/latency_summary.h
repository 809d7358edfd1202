#pragma once
// Percentiles of a set of latencies, by rank in the sorted samples (no interpolation).

#include <cstdint>
#include <vector>

namespace tarnwick::bench {

struct LatencySummary {
    std::size_t count = 0;
    double p50_ms = 0;
    double p90_ms = 0;
    double p99_ms = 0;
    double p999_ms = 0;
    std::size_t over_1ms = 0;
    double max_ms = 0;
    double mean_ms = 0;
};

LatencySummary summarize(std::vector<std::int64_t> nanoseconds);

// received - sent for each period in [first, last) that has both stamps (-1 is none); a period
// without both counts as missing.
std::vector<std::int64_t> latencies_between(const std::vector<std::int64_t>& sent_at,
                                            const std::vector<std::int64_t>& received_at,
                                            std::size_t first, std::size_t last,
                                            std::size_t& missing);

// Two lines: "p50 0.123 ms  p90 ...  p99 ...  p99.9 ...  max ..." and the mean, the count and
// how many took longer than 1 ms.
void print_summary(const LatencySummary& summary);

}  // namespace tarnwick::bench
