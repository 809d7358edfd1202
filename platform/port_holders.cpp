#include "platform/port_holders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "base/utf8.h"
#include "platform/kernel_files.h"
#include "platform/port_map.h"
#include "platform/port_names.h"
#include "platform/uucp_lock.h"

namespace tarnwick::platform {
namespace {

constexpr unsigned kTtyAliasMajor = 5;  // /dev/tty (minor 0) and /dev/console (minor 1)

std::string program_of(const HolderSources& sources, pid_t pid) {
    std::string name = read_kernel_file(sources.proc / std::to_string(pid) / "comm").value_or("");
    return name.substr(0, name.find('\n'));
}

std::optional<dev_t> device_number(const std::filesystem::path& dev_file) {
    std::istringstream in(read_kernel_file(dev_file).value_or(""));
    unsigned major_number = 0;
    unsigned minor_number = 0;
    char colon = 0;
    if (in >> major_number >> colon >> minor_number && colon == ':') {
        return makedev(major_number, minor_number);
    }
    return std::nullopt;
}

bool is_console(dev_t device, const HolderSources& sources) {
    if (major(device) == kTtyAliasMajor && minor(device) <= 1) {
        return true;
    }
    std::istringstream active(
        read_kernel_file(sources.sysfs_tty / "console" / "active").value_or(""));
    std::string name;
    while (active >> name) {
        if (name.find('/') == std::string::npos && name != "." && name != "..") {
            if (device_number(sources.sysfs_tty / name / "dev") == device) {
                return true;
            }
        }
    }
    return false;
}

// Field 7 of /proc/PID/stat, the controlling terminal in the kernel's dev_t encoding.
std::optional<dev_t> controlling_terminal(const std::filesystem::path& process_dir) {
    const std::string stat = read_kernel_file(process_dir / "stat").value_or("");
    std::size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(name_end + 1));
    std::string state;
    long long parent = 0;
    long long group = 0;
    long long session = 0;
    long long tty = 0;
    if (!(fields >> state >> parent >> group >> session >> tty) || tty == 0) {
        return std::nullopt;
    }
    auto encoded = static_cast<unsigned long long>(tty);
    unsigned major_number = (encoded >> 8) & 0xfff;
    unsigned minor_number = (encoded & 0xff) | ((encoded >> 12) & 0xfff00);
    return makedev(major_number, minor_number);
}

bool has_open(const std::filesystem::path& process_dir, dev_t device) {
    std::string fd_dir = (process_dir / "fd").string();
    DIR* dir = opendir(fd_dir.c_str());
    if (dir == nullptr) {
        return false;  // another user's process, or gone
    }
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        struct stat target {};
        // Following the link reaches the open file itself, whatever path it was opened by.
        if (fstatat(dirfd(dir), entry->d_name, &target, 0) == 0 && S_ISCHR(target.st_mode) &&
            target.st_rdev == device) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

std::optional<pid_t> pid_of_entry(const char* name) {
    char* end = nullptr;
    long pid = std::strtol(name, &end, 10);
    if (end == name || *end != '\0' || pid <= 0) {
        return std::nullopt;
    }
    return static_cast<pid_t>(pid);
}

}  // namespace

std::string describe_holder(const PortHolder& holder) {
    if (holder.how == "the kernel console") {
        return holder.how;
    }
    std::string text = holder.program;
    if (holder.pid > 0) {
        text += (text.empty() ? "pid " : ", pid ") + std::to_string(holder.pid);
    }
    if (holder.how.starts_with("lock file") && holder.pid <= 0) {
        text += (text.empty() ? "" : ", ") + holder.how;
    }
    return text;
}

std::optional<PortHolder> find_device_holder(dev_t device, const std::string& path, pid_t keeper,
                                             const HolderSources& sources) {
    if (is_console(device, sources)) {
        return PortHolder{0, "", "the kernel console"};
    }
    const std::filesystem::path lock = lock_file_for(path);
    if (std::optional<pid_t> owner = lock_owner(lock); owner && *owner != keeper) {
        return PortHolder{*owner, *owner > 0 ? program_of(sources, *owner) : "",
                          "lock file " + lock.string()};
    }
    const pid_t self = getpid();
    std::optional<PortHolder> holder;
    DIR* processes = opendir(sources.proc.c_str());
    if (processes == nullptr) {
        return std::nullopt;
    }
    while (dirent* entry = readdir(processes)) {
        std::optional<pid_t> pid = pid_of_entry(entry->d_name);
        if (!pid || *pid == self || *pid == keeper) {
            continue;
        }
        const std::filesystem::path process_dir = sources.proc / entry->d_name;
        if (controlling_terminal(process_dir) == device) {
            holder = PortHolder{*pid, program_of(sources, *pid), "its controlling terminal"};
            break;
        }
        if (has_open(process_dir, device)) {
            holder = PortHolder{*pid, program_of(sources, *pid), "open"};
            break;
        }
    }
    closedir(processes);
    return holder;
}

std::optional<PortHolder> find_port_holder(const std::wstring& port) {
    std::string path = to_utf8(port);
    pid_t keeper = 0;
    if (std::optional<unsigned> number = com_port_number(port)) {
        const PortTable ports = current_ports();
        const auto bound = ports.find(*number);
        if (bound == ports.end()) {
            return std::nullopt;
        }
        path = bound->second.device;
        keeper = bound->second.kept_open_by;
    }
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) {
        return std::nullopt;
    }
    return find_device_holder(status.st_rdev, path, keeper);
}

}  // namespace tarnwick::platform
