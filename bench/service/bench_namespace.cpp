#include "bench/service/bench_namespace.h"

#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace tarnwick::bench {

BenchNamespace::BenchNamespace() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    home_ = pattern;
    setenv("TARNWICK_HOME", pattern.c_str(), 1);
}

BenchNamespace::~BenchNamespace() {
    std::error_code ignored;
    // The object directory may be a link to a directory on a memory file system.
    const std::filesystem::path objects = home_ / "objects";
    if (std::filesystem::is_symlink(objects, ignored)) {
        std::filesystem::remove_all(std::filesystem::read_symlink(objects, ignored), ignored);
    }
    std::filesystem::remove_all(home_, ignored);
}

}  // namespace tarnwick::bench
