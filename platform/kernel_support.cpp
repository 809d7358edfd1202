#include "platform/kernel_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "platform/futex.h"

namespace tarnwick::platform {

const char* missing_kernel_support() noexcept {
    const char* missing = nullptr;
    if (!futex_calls_available(missing)) {
        return missing;
    }
    // Unnamed mappings are memory files (Linux 3.17).
    const int probe = memfd_create("tarnwick-probe", MFD_CLOEXEC);
    if (probe < 0 && errno == ENOSYS) {
        return "the kernel lacks memfd_create (Linux 3.17)";
    }
    if (probe >= 0) {
        close(probe);
    }
    return nullptr;
}

}  // namespace tarnwick::platform
