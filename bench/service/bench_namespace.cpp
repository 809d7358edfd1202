#include "bench/service/bench_namespace.h"

#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/namespace.h"

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
    // The object directory may be a link to a directory on a memory file system.
    platform::remove_namespace(home_);
}

}  // namespace tarnwick::bench
