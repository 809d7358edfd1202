#include "platform/file_object.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"

namespace tarnwick::platform {

File::File(int fd, bool writable, std::wstring name)
    : fd_(fd), writable_(writable), name_(std::move(name)) {}

File::~File() {
    close(fd_);
}

bool File::read(void* buffer, DWORD size, DWORD& done) {
    done = 0;
    ssize_t got;
    do {
        got = ::read(fd_, buffer, size);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return fail_errno(false);
    }
    done = static_cast<DWORD>(got);
    return true;
}

bool File::write(const void* buffer, DWORD size, DWORD& done) {
    done = 0;
    const char* bytes = static_cast<const char*>(buffer);
    while (done < size) {
        ssize_t put = ::write(fd_, bytes + done, size - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0) {
            return fail_errno(false);
        }
        done += static_cast<DWORD>(put);
    }
    return true;
}

namespace {

int open_flags_for(const OpenRequest& request) {
    bool wants_write = (request.desired_access & GENERIC_WRITE) != 0;
    int flags = (wants_write ? O_RDWR : O_RDONLY) | O_CLOEXEC | request.extra_flags;
    switch (request.creation_disposition) {
        case CREATE_NEW:
            return flags | O_CREAT | O_EXCL;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            return flags | O_CREAT;
        case OPEN_EXISTING:
        case TRUNCATE_EXISTING:
            return flags;
        default:
            return -1;
    }
}

}  // namespace

int open_for_request(const OpenRequest& request) {
    int flags = open_flags_for(request);
    if (flags < 0 || request.path.empty()) {
        return fail(ERROR_INVALID_PARAMETER, -1);
    }
    bool truncates = request.creation_disposition == CREATE_ALWAYS ||
                     request.creation_disposition == TRUNCATE_EXISTING;
    if (truncates && (request.desired_access & GENERIC_WRITE) == 0) {
        return fail(ERROR_ACCESS_DENIED, -1);
    }
    bool existed = access(request.path.c_str(), F_OK) == 0;
    int fd = open(request.path.c_str(), flags, 0600);
    if (fd < 0) {
        if (errno == EEXIST) {
            return fail(ERROR_FILE_EXISTS, -1);
        }
        return fail_errno(-1);
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(fd);
        return fail(ERROR_ACCESS_DENIED, -1);
    }
    int share_lock = request.share_mode == 0 ? LOCK_EX : LOCK_SH;
    if (flock(fd, share_lock | LOCK_NB) != 0) {
        close(fd);
        return fail(ERROR_SHARING_VIOLATION, -1);
    }
    // Truncation only after the sharing check: a refused open must not destroy the content.
    if (truncates && S_ISREG(status.st_mode) && ftruncate(fd, 0) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return fail_errno(-1);
    }
    bool reports_existing = request.creation_disposition == CREATE_ALWAYS ||
                            request.creation_disposition == OPEN_ALWAYS;
    SetLastError(existed && reports_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return fd;
}

}  // namespace tarnwick::platform
