#include "platform/serial_claim.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/trace.h"
#include "platform/last_error.h"
#include "platform/port_holders.h"

namespace tarnwick::platform {

bool SerialClaim::take(int fd, const std::string& path, bool exclusive, pid_t keeper) {
    if (exclusive) {
        struct stat status {};
        if (fstat(fd, &status) == 0) {
            if (std::optional<PortHolder> holder =
                    find_device_holder(status.st_rdev, path, keeper)) {
                trace(L"platform: %S is busy: %S (%S)", path.c_str(),
                      describe_holder(*holder).c_str(), holder->how.c_str());
                return fail(ERROR_SHARING_VIOLATION, false);
            }
        }
        pid_t owner = 0;
        if (lock_.acquire(path, owner) == UucpLock::Outcome::held_by_other && owner != keeper) {
            trace(L"platform: %S is busy: locked by pid %d", path.c_str(), static_cast<int>(owner));
            return fail(ERROR_SHARING_VIOLATION, false);
        }
        // Stops later opens by programs without root's privilege; root is stopped by the
        // checks above instead.
        exclusive_mode_ = ioctl(fd, TIOCEXCL) == 0;
    }
    saved_ = tcgetattr(fd, &original_) == 0;
    return true;
}

void SerialClaim::give_back(int fd) noexcept {
    if (saved_) {
        // At once rather than after the output drains: a line held up by flow control would
        // otherwise keep the close waiting for ever.
        tcsetattr(fd, TCSANOW, &original_);
        saved_ = false;
    }
    if (exclusive_mode_) {
        ioctl(fd, TIOCNXCL);
        exclusive_mode_ = false;
    }
    lock_.release();
}

}  // namespace tarnwick::platform
