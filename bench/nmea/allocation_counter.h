#pragma once
// Counts the heap allocations of the whole process: this binary replaces the global operator
// new, so that a benchmark can prove its timed loop allocates nothing.

#include <cstdint>

namespace tarnwick::bench {

std::uint64_t allocations() noexcept;

}  // namespace tarnwick::bench
