#pragma once
// Fuzz targets that reach files and named objects run in a namespace of their own: TARNWICK_HOME
// points at a fresh temporary directory (in /dev/shm where there is one) for the life of the
// fuzzing process, removed when the process exits normally. Inside it, an empty folder serves as
// the working directory while one input runs, so that relative paths a fuzzer makes up lead
// nowhere; libFuzzer itself keeps its own working directory, where its corpus paths point.

#include <cstddef>
#include <filesystem>

namespace tarnwick::fuzz {

// Enters the namespace on the first call; the namespace's home on every call.
const std::filesystem::path& private_namespace();

// Makes the namespace's own folder, empty unless a target puts something there, the working
// directory for its life.
class private_working_directory {
  public:
    private_working_directory();
    ~private_working_directory();
    private_working_directory(const private_working_directory&) = delete;
    private_working_directory& operator=(const private_working_directory&) = delete;

  private:
    int previous_;
};

// Creates or replaces a file with these bytes; aborts when that fails (the harness is broken).
void write_whole_file(const std::filesystem::path& path, const void* data, std::size_t size);

}  // namespace tarnwick::fuzz
