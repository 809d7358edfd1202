#include "bench/service/latency_summary.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace tarnwick::bench {
namespace {

double milliseconds(std::int64_t nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e6;
}

// The sample below which the fraction `quantile` of all samples lies.
std::int64_t at_quantile(const std::vector<std::int64_t>& sorted, double quantile) {
    const auto rank = static_cast<std::size_t>(quantile * static_cast<double>(sorted.size() - 1));
    return sorted[rank];
}

}  // namespace

LatencySummary summarize(std::vector<std::int64_t> nanoseconds) {
    LatencySummary summary;
    if (nanoseconds.empty()) {
        return summary;
    }
    std::sort(nanoseconds.begin(), nanoseconds.end());
    summary.count = nanoseconds.size();
    summary.p50_ms = milliseconds(at_quantile(nanoseconds, 0.50));
    summary.p90_ms = milliseconds(at_quantile(nanoseconds, 0.90));
    summary.p99_ms = milliseconds(at_quantile(nanoseconds, 0.99));
    summary.p999_ms = milliseconds(at_quantile(nanoseconds, 0.999));
    summary.over_1ms = static_cast<std::size_t>(
        nanoseconds.end() - std::upper_bound(nanoseconds.begin(), nanoseconds.end(), 1'000'000));
    summary.max_ms = milliseconds(nanoseconds.back());
    const double total = std::accumulate(nanoseconds.begin(), nanoseconds.end(), 0.0);
    summary.mean_ms = total / static_cast<double>(nanoseconds.size()) / 1e6;
    return summary;
}

void print_summary(const LatencySummary& summary) {
    std::printf("  p50 %.3f ms  p90 %.3f ms  p99 %.3f ms  p99.9 %.3f ms  max %.3f ms\n",
                summary.p50_ms, summary.p90_ms, summary.p99_ms, summary.p999_ms, summary.max_ms);
    std::printf("  mean %.3f ms, n = %zu, %zu over 1 ms\n", summary.mean_ms, summary.count,
                summary.over_1ms);
}

std::vector<std::int64_t> latencies_between(const std::vector<std::int64_t>& sent_at,
                                            const std::vector<std::int64_t>& received_at,
                                            std::size_t first, std::size_t last,
                                            std::size_t& missing) {
    std::vector<std::int64_t> latencies;
    missing = 0;
    const std::size_t end = std::min({last, sent_at.size(), received_at.size()});
    for (std::size_t period = first; period < end; ++period) {
        if (sent_at[period] < 0 || received_at[period] < 0) {
            ++missing;
            continue;
        }
        latencies.push_back(received_at[period] - sent_at[period]);
    }
    return latencies;
}

}  // namespace tarnwick::bench
