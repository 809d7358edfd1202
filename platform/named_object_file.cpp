#include "platform/named_object_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "base/trace.h"
#include "platform/last_error.h"
#include "platform/namespace.h"
#include "platform/object_names.h"

namespace tarnwick::platform {
namespace {

std::recursive_mutex& process_creation_mutex() {
    static auto* mutex = new std::recursive_mutex;
    return *mutex;
}

// The descriptor holding the flock while this process holds the creation lock (guarded by
// process_creation_mutex), so that nested holders in the same thread share it.
int held_lock_fd = -1;

int flock_retrying(int fd, int operation) {
    int rc;
    do {
        rc = flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

}  // namespace

NamespaceCreationLock::NamespaceCreationLock()
    : NamespaceCreationLock(tarnwick::platform::objects_directory()) {}

NamespaceCreationLock::NamespaceCreationLock(std::filesystem::path objects_dir)
    : directory_(std::move(objects_dir)) {
    process_creation_mutex().lock();
    if (held_lock_fd >= 0) {
        fd_ = held_lock_fd;
        return;
    }
    outermost_ = true;
    fd_ = open((directory_ / ".namespace.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0 && flock_retrying(fd_, LOCK_EX) != 0) {
        close(fd_);
        fd_ = -1;
    }
    if (fd_ < 0) {
        trace(L"platform: cannot take the creation lock of %S, errno = %d", directory_.c_str(),
              errno);
    }
    held_lock_fd = fd_;
}

NamespaceCreationLock::~NamespaceCreationLock() {
    if (outermost_ && fd_ >= 0) {
        held_lock_fd = -1;
        close(fd_);  // drops the flock
    }
    process_creation_mutex().unlock();
}

NamedObjectFile::NamedObjectFile(std::filesystem::path path, int fd, bool created,
                                 std::uint64_t size, WakeWord* wake_word)
    : path_(std::move(path)), fd_(fd), created_(created), size_(size), wake_word_(wake_word) {}

std::unique_ptr<NamedObjectFile> NamedObjectFile::acquire(
    const NamespaceCreationLock& lock, std::wstring_view name, const char* suffix,
    Disposition disposition, std::uint64_t create_size, bool map_whole) {
    if (!lock.held()) {
        return fail(ERROR_ACCESS_DENIED, nullptr);
    }
    auto file_name = object_file_name(name, suffix);
    if (!file_name) {
        return fail(ERROR_FILENAME_EXCED_RANGE, nullptr);
    }
    std::filesystem::path path = lock.objects_directory() / *file_name;
    WakeWord* wake_word = namespace_wake_word(lock.objects_directory());
    if (wake_word == nullptr) {
        return fail_errno(nullptr);
    }
    int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW;
    if (disposition == Disposition::create_or_open) {
        flags |= O_CREAT;
    }
    int fd = open(path.c_str(), flags, 0600);
    if (fd < 0) {
        return fail_errno(nullptr);
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return fail(ERROR_INVALID_HANDLE, nullptr);
    }
    bool no_live_holder = flock_retrying(fd, LOCK_EX | LOCK_NB) == 0;
    bool created = false;
    std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
    if (no_live_holder) {
        if (disposition == Disposition::open_existing) {
            // Left behind by a holder that died; the next creator starts it afresh.
            close(fd);
            return fail(ERROR_FILE_NOT_FOUND, nullptr);
        }
        if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(create_size)) != 0) {
            int error = errno;
            close(fd);
            errno = error;
            return fail_errno(nullptr);
        }
        created = true;
        size = create_size;
    }
    // Converting the exclusive probe into the holder's shared lock is not atomic, but only
    // processes holding the creation lock (we do) ever ask for an exclusive lock.
    if (flock_retrying(fd, LOCK_SH) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return fail_errno(nullptr);
    }
    std::unique_ptr<NamedObjectFile> file(new NamedObjectFile(path, fd, created, size, wake_word));
    if (map_whole) {
        // A holder that left a file shorter than the object would make every access fault.
        if (size == 0 || size < create_size) {
            return fail(ERROR_INVALID_HANDLE, nullptr);
        }
        void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (memory == MAP_FAILED) {
            return fail_errno(nullptr);
        }
        file->memory_ = memory;
    }
    return file;
}

NamedObjectFile::~NamedObjectFile() {
    if (memory_ != nullptr) {
        munmap(memory_, size_);
    }
    NamespaceCreationLock lock(path_.parent_path());
    if (lock.held() && flock_retrying(fd_, LOCK_EX | LOCK_NB) == 0) {
        // The last holder: the name stops existing. Only the file we hold is removed.
        struct stat ours {
        }, named{};
        if (fstat(fd_, &ours) == 0 && stat(path_.c_str(), &named) == 0 &&
            ours.st_ino == named.st_ino && ours.st_dev == named.st_dev) {
            unlink(path_.c_str());
        }
    }
    close(fd_);
}

}  // namespace tarnwick::platform
