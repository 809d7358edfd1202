// <home>/objects, where the files of named objects live. Every event, mutex and mapping is a file
// there, written at each change; on the flash storage of small devices that wear is wasted, and
// the files outlive a reboot that their objects do not. So the name is a link to a private
// directory on a memory file system, made again when a reboot emptied that file system.
//
// Making or mending the link happens under an exclusive flock on <home>/objects.lock: the first
// process makes it, the others find it made when they get the lock. The new link is put in place
// with one rename, so that a reader never finds the name missing.

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "base/trace.h"
#include "platform/namespace.h"
#include "platform/test_seams.h"

namespace tarnwick::platform {
namespace {

constexpr std::string_view target_prefix = "tarnwick-objects-";

enum class LinkState {
    usable,    // a directory, or a link to one
    dangling,  // a link to nothing
    missing,
    unusable,  // something else: left alone
};

LinkState inspect(const std::filesystem::path& link) {
    struct stat seen {};
    if (lstat(link.c_str(), &seen) != 0) {
        return errno == ENOENT ? LinkState::missing : LinkState::unusable;
    }
    if (S_ISDIR(seen.st_mode)) {
        return LinkState::usable;
    }
    if (!S_ISLNK(seen.st_mode)) {
        return LinkState::unusable;
    }
    if (stat(link.c_str(), &seen) == 0) {
        return S_ISDIR(seen.st_mode) ? LinkState::usable : LinkState::unusable;
    }
    return errno == ENOENT ? LinkState::dangling : LinkState::unusable;
}

bool writable_directory(const std::filesystem::path& dir) {
    struct stat seen {};
    return dir.is_absolute() && stat(dir.c_str(), &seen) == 0 && S_ISDIR(seen.st_mode) &&
           access(dir.c_str(), W_OK | X_OK) == 0;
}

// Where a new objects directory goes: $XDG_RUNTIME_DIR, else /dev/shm; empty when neither is a
// writable directory.
std::filesystem::path memory_file_system() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr) {
        if (writable_directory(runtime)) {
            return runtime;
        }
    }
    if (std::filesystem::path shm = dev_shm_directory(); writable_directory(shm)) {
        return shm;
    }
    return {};
}

class RepairLock {
  public:
    explicit RepairLock(const std::filesystem::path& home) {
        const std::filesystem::path path = home / "objects.lock";
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        int rc = fd_ < 0 ? -1 : 0;
        while (fd_ >= 0 && (rc = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (rc != 0) {
            trace(L"platform: cannot lock %S, errno = %d", path.c_str(), errno);
        }
    }
    ~RepairLock() {
        if (fd_ >= 0) {
            close(fd_);  // drops the flock
        }
    }
    RepairLock(const RepairLock&) = delete;
    RepairLock& operator=(const RepairLock&) = delete;

  private:
    int fd_ = -1;
};

void make_plain_directory(const std::filesystem::path& link) {
    if (mkdir(link.c_str(), 0700) != 0 && errno != EEXIST) {
        trace(L"platform: cannot create directory %S, errno = %d", link.c_str(), errno);
    }
}

// Puts a link to a new private directory under `base` at `link`; `replace` for a dangling one.
// False when no directory could be made there.
bool make_link(const std::filesystem::path& link, const std::filesystem::path& base, bool replace) {
    std::string target = (base / target_prefix).string() + "XXXXXX";
    if (mkdtemp(target.data()) == nullptr) {
        trace(L"platform: cannot create a directory in %S, errno = %d", base.c_str(), errno);
        return false;
    }
    const std::filesystem::path staged = link.string() + ".tmp";
    unlink(staged.c_str());  // left behind by a process that died here
    bool placed = symlink(target.c_str(), staged.c_str()) == 0;
    if (placed) {
        placed = replace ? rename(staged.c_str(), link.c_str()) == 0
                         : renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, link.c_str(),
                                     RENAME_NOREPLACE) == 0;
    }
    if (!placed) {
        // Someone else (a program that does not take the lock) was first: theirs stands.
        trace(L"platform: cannot link %S to %S, errno = %d", link.c_str(), target.c_str(), errno);
        unlink(staged.c_str());
        rmdir(target.c_str());
    }
    return true;
}

void repair(const std::filesystem::path& home, const std::filesystem::path& link) {
    RepairLock lock(home);
    const LinkState state = inspect(link);
    if (state == LinkState::usable || state == LinkState::unusable) {
        return;  // mended by whoever held the lock before us, or not ours to touch
    }
    const std::filesystem::path base = memory_file_system();
    if (!base.empty() && make_link(link, base, state == LinkState::dangling)) {
        return;
    }
    if (state == LinkState::dangling) {
        unlink(link.c_str());
    }
    make_plain_directory(link);
}

}  // namespace

std::filesystem::path objects_directory() {
    const std::filesystem::path home = home_directory();
    std::filesystem::path link = home / "objects";
    switch (inspect(link)) {
        case LinkState::usable:
            break;
        case LinkState::unusable:
            trace(L"platform: %S is neither a directory nor a link to one", link.c_str());
            break;
        case LinkState::missing:
        case LinkState::dangling:
            repair(home, link);
            break;
    }
    return link;
}

void remove_namespace(const std::filesystem::path& home) noexcept {
    std::error_code ignored;
    const std::filesystem::path link = home / "objects";
    if (std::filesystem::is_symlink(link, ignored)) {
        const std::filesystem::path target = std::filesystem::read_symlink(link, ignored);
        // Only a directory this layer made: a link edited by hand may point anywhere.
        if (target.filename().string().starts_with(target_prefix)) {
            std::filesystem::remove_all(target, ignored);
        }
    }
    std::filesystem::remove_all(home, ignored);
}

}  // namespace tarnwick::platform
