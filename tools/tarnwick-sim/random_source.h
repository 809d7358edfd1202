#pragma once
// A small seeded generator whose sequence is the same on every platform and standard library
// (the distributions of <random> are not), so that generated sample files are reproducible.

#include <cstdint>

namespace tarnwick::sim {

class RandomSource {
  public:
    explicit RandomSource(std::uint64_t seed) noexcept : state_(seed) {}

    // splitmix64
    std::uint64_t next() noexcept {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // Uniform in [low, high).
    double uniform(double low, double high) noexcept {
        const double unit = static_cast<double>(next() >> 11) * 0x1.0p-53;
        return low + unit * (high - low);
    }

  private:
    std::uint64_t state_;
};

}  // namespace tarnwick::sim
