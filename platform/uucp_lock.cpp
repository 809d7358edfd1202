#include "platform/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/trace.h"

namespace tarnwick::platform {
namespace {

bool alive(pid_t pid) {
    return kill(pid, 0) == 0 || errno == EPERM;
}

// The pid a lock file holds: HDB's ASCII form, or the 4-byte binary form of old UUCP; 0 when
// the file names none; nothing when it cannot be read (it vanished meanwhile).
std::optional<pid_t> pid_in(const std::filesystem::path& file) {
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return std::nullopt;
    }
    char text[64] = {};
    ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    bool printable = std::all_of(text, text + std::max<ssize_t>(got, 0), [](char c) {
        return c == '\n' || c == '\r' || (static_cast<unsigned char>(c) >= ' ' && c != 127);
    });
    if (got == 4 && !printable) {
        std::int32_t binary = 0;
        std::memcpy(&binary, text, sizeof binary);
        return binary > 0 ? binary : 0;
    }
    char* end = nullptr;
    long pid = got > 0 ? std::strtol(text, &end, 10) : 0;
    return pid > 0 && pid <= 0x3FFFFFFF ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

std::filesystem::path lock_directory() {
    if (const char* chosen = std::getenv("TARNWICK_LOCK_DIR"); chosen != nullptr && *chosen) {
        return chosen;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory("/run/lock", ec) &&
        std::filesystem::is_directory("/var/lock", ec)) {
        return "/var/lock";
    }
    return "/run/lock";
}

std::filesystem::path lock_file_for(const std::string& device_path) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(device_path, ec);
    std::string name = (ec ? std::filesystem::path(device_path) : real).lexically_normal().string();
    if (name.starts_with("/dev/")) {
        name.erase(0, 5);
    } else {
        name = std::filesystem::path(name).filename().string();
    }
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return lock_directory() / ("LCK.." + name);
}

std::optional<pid_t> lock_owner(const std::filesystem::path& lock_file) {
    std::optional<pid_t> pid = pid_in(lock_file);
    if (!pid) {
        return std::nullopt;
    }
    if (*pid == 0) {
        return 0;  // a lock we cannot attribute is still a lock
    }
    if (*pid == getpid()) {
        return std::nullopt;
    }
    if (alive(*pid)) {
        return pid;
    }
    if (unlink(lock_file.c_str()) == 0) {
        trace(L"platform: stale lock %S of pid %d removed", lock_file.c_str(),
              static_cast<int>(*pid));
    }
    return std::nullopt;
}

UucpLock::~UucpLock() {
    release();
}

UucpLock::UucpLock(UucpLock&& other) noexcept : file_(std::move(other.file_)) {
    other.file_.clear();
}

UucpLock& UucpLock::operator=(UucpLock&& other) noexcept {
    if (this != &other) {
        release();
        file_ = std::move(other.file_);
        other.file_.clear();
    }
    return *this;
}

UucpLock::Outcome UucpLock::acquire(const std::string& device_path, pid_t& owner) {
    release();
    owner = 0;
    const std::filesystem::path file = lock_file_for(device_path);
    // Written whole under a private name, then linked into place: nobody ever reads a lock
    // that has no pid in it yet, and of two processes linking at once exactly one wins.
    static std::atomic<unsigned> next_stage{0};
    std::string staged = (file.parent_path() / ".LTMP.").string() + std::to_string(getpid()) + "." +
                         std::to_string(next_stage.fetch_add(1));
    unlink(staged.c_str());  // left by an earlier process of the same pid
    int fd = open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (std::optional<pid_t> holder = lock_owner(file)) {
            owner = *holder;
            return Outcome::held_by_other;
        }
        return Outcome::not_possible;
    }
    char text[16];
    int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
    bool written = write(fd, text, static_cast<std::size_t>(length)) == length;
    fchmod(fd, 0644);  // others read it whatever the umask
    close(fd);
    Outcome outcome = Outcome::not_possible;
    for (int attempt = 0; written && attempt < 2; ++attempt) {
        if (link(staged.c_str(), file.c_str()) == 0) {
            file_ = file;
            outcome = Outcome::locked;
            break;
        }
        if (errno != EEXIST) {
            break;
        }
        if (std::optional<pid_t> holder = lock_owner(file)) {
            owner = *holder;
            outcome = Outcome::held_by_other;
            break;
        }
        // The lock was stale (and is removed now) or our own leftover: take it over.
        if (pid_in(file).value_or(0) == getpid()) {
            unlink(file.c_str());
        }
    }
    unlink(staged.c_str());
    return outcome;
}

void UucpLock::release() noexcept {
    if (file_.empty()) {
        return;
    }
    if (pid_in(file_).value_or(0) == getpid()) {
        unlink(file_.c_str());
    }
    file_.clear();
}

}  // namespace tarnwick::platform
