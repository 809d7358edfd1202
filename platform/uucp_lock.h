#pragma once
// UUCP lock files ("LCK..ttyUSB0" holding the pid in ten ASCII digits and a newline), the
// convention by which serial programs on Unix (getty, cu, minicom, modem managers) tell each
// other that a line is in use. The directory is $TARNWICK_LOCK_DIR when set, else /run/lock
// (else /var/lock); docs/platform.md describes the rules.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::platform {

std::filesystem::path lock_directory();
// The lock file of a device path: "LCK.." and the path below /dev with '/' written '_'
// ("/dev/ttyS0" -> "LCK..ttyS0", "/dev/pts/4" -> "LCK..pts_4"), after following symbolic links.
std::filesystem::path lock_file_for(const std::string& device_path);

// The live process that a lock file names; nothing when there is no lock, when its process is
// gone (the stale file is then removed where the directory allows) or when it names this
// process. A lock whose content names no pid counts as held by an unknown process (pid 0).
std::optional<pid_t> lock_owner(const std::filesystem::path& lock_file);

// A lock file written for this process while it uses a device, removed when the object goes
// (only while it still names this process).
class UucpLock {
  public:
    UucpLock() = default;
    ~UucpLock();
    UucpLock(UucpLock&& other) noexcept;
    UucpLock& operator=(UucpLock&& other) noexcept;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    enum class Outcome { locked, held_by_other, not_possible };
    // Writes the lock of `device_path`. `held_by_other` (with the owner in `owner`) when a live
    // process holds it; `not_possible` when the directory is missing or not writable, in which
    // case the device is used without a lock.
    Outcome acquire(const std::string& device_path, pid_t& owner);
    void release() noexcept;

  private:
    std::filesystem::path file_;
};

}  // namespace tarnwick::platform
