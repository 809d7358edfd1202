#pragma once
// A private namespace for one benchmark run: a fresh TARNWICK_HOME under the temporary directory,
// removed with everything in it at the end, so that a run never meets a user's own service.

#include <filesystem>

namespace tarnwick::bench {

class BenchNamespace {
  public:
    // Creates the directory and points TARNWICK_HOME at it for this process and its children.
    // Throws std::system_error when the directory cannot be made.
    BenchNamespace();
    ~BenchNamespace();
    BenchNamespace(const BenchNamespace&) = delete;
    BenchNamespace& operator=(const BenchNamespace&) = delete;

    const std::filesystem::path& home() const noexcept { return home_; }

  private:
    std::filesystem::path home_;
};

}  // namespace tarnwick::bench
