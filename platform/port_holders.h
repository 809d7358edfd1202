#pragma once
// Who else holds a serial device: what lets the platform refuse a port that another program
// uses (share mode 0) before it touches a line setting, and lets a client name that program.
// docs/platform.md ("Ports held by other programs") describes the rules.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::platform {

struct PortHolder {
    pid_t pid = 0;        // 0: not known
    std::string program;  // the process's name (/proc/PID/comm); empty when not known
    std::string how;      // "the kernel console", "a lock file", "its controlling terminal", "open"
};

// "getty, pid 123", "the kernel console", "pid 77, lock file /run/lock/LCK..ttyS0" …
std::string describe_holder(const PortHolder& holder);

// Where the search looks; tests put folders of their own in place of the system's.
struct HolderSources {
    std::filesystem::path proc = "/proc";
    std::filesystem::path sysfs_tty = "/sys/class/tty";
};

// The first holder, other than this process and `keeper` (a process that keeps the device
// open by design and shares it; 0: none), of the terminal device `device` (its st_rdev) that
// `path` names: the kernel console, a live UUCP lock file, a process whose controlling
// terminal it is, a process with a descriptor of it open. Processes of other users whose
// descriptors this process may not see count only through the other three.
std::optional<PortHolder> find_device_holder(dev_t device, const std::string& path, pid_t keeper,
                                             const HolderSources& sources = {});

// The same for a "COMn:" name (through the port map) or a device path, for clients that name
// the program a refused port is busy with. Nothing for a port that is not a terminal device.
std::optional<PortHolder> find_port_holder(const std::wstring& port);

}  // namespace tarnwick::platform
