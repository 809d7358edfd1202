#include "platform/namespace.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/trace.h"

namespace tarnwick::platform {
namespace {

// The password file itself rather than getpwuid: the service is linked statically, and there
// the name-service modules getpwuid would load are not to be relied on.
std::filesystem::path home_from_password_file() {
    std::FILE* file = std::fopen("/etc/passwd", "re");
    if (file == nullptr) {
        return {};
    }
    std::filesystem::path found;
    const uid_t me = getuid();
    passwd entry{};
    passwd* read = nullptr;
    char text[1024];
    while (fgetpwent_r(file, &entry, text, sizeof text, &read) == 0 && read != nullptr) {
        if (entry.pw_uid == me && entry.pw_dir != nullptr && *entry.pw_dir != '\0') {
            found = entry.pw_dir;
            break;
        }
    }
    std::fclose(file);
    return found;
}

std::filesystem::path user_home() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (std::filesystem::path home = home_from_password_file(); !home.empty()) {
        return home;
    }
    return "/tmp";
}

// Creates each missing level with mode 0700 (existing directories are left as they are).
std::filesystem::path ensure_private_directory(const std::filesystem::path& dir) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        std::filesystem::path partial;
        for (const auto& part : dir) {
            partial /= part;
            if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
                trace(L"platform: cannot create directory %S, errno = %d", partial.c_str(), errno);
                break;
            }
        }
    }
    return dir;
}

}  // namespace

std::filesystem::path home_directory() {
    std::filesystem::path home;
    if (const char* chosen = std::getenv("TARNWICK_HOME"); chosen != nullptr && *chosen != '\0') {
        home = chosen;
    } else if (const char* state = std::getenv("XDG_STATE_HOME");
               state != nullptr && *state == '/') {
        home = std::filesystem::path(state) / "tarnwick";
    } else {
        home = user_home() / ".local" / "state" / "tarnwick";
    }
    return ensure_private_directory(home);
}

std::filesystem::path state_directory() {
    return ensure_private_directory(home_directory() / "state");
}

std::filesystem::path registry_path() {
    return home_directory() / "registry.reg";
}

std::filesystem::path port_map_path() {
    return home_directory() / "ports.map";
}

}  // namespace tarnwick::platform
