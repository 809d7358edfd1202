#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tarnwick::test {

// The folder of real receiver captures beside the project; empty when it is absent.
std::filesystem::path corpus_dir();

// Skips the current test when the captures are not available.
#define TARNWICK_REQUIRE_CORPUS()                                               \
    do {                                                                        \
        if (::tarnwick::test::corpus_dir().empty()) {                           \
            GTEST_SKIP() << "receiver captures (../shared/corpus) not present"; \
        }                                                                       \
    } while (0)

// A fresh private directory under the system's temporary folder, removed on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// True once `condition` holds, polled until `limit` has passed.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// Reads a whole file as bytes.
std::string read_file(const std::filesystem::path& path);
// Writes bytes to a file, replacing it.
void write_file(const std::filesystem::path& path, const std::string& bytes);

// The 64-bit FNV-1a hash of bytes: digests of outputs too large to check in, computed the same
// way by scripts/regen-golden.sh.
std::uint64_t fnv1a_64(std::string_view bytes) noexcept;

}  // namespace tarnwick::test
