#include "platform/atomic_text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::platform {
namespace {

bool write_all(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t put = write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

void sync_directory(const std::filesystem::path& directory) {
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

std::optional<std::string> read_text_file(const std::filesystem::path& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return std::string();
        }
        return std::nullopt;
    }
    std::string content;
    char chunk[4096];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            int error = errno;
            close(fd);
            errno = error;
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        content.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);
    return content;
}

TextFileUpdate::TextFileUpdate(std::filesystem::path path) : path_(std::move(path)) {
    std::filesystem::path lock_path = path_;
    lock_path += ".lock";
    lock_fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_fd_ < 0) {
        return;
    }
    int rc;
    do {
        rc = flock(lock_fd_, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        close(lock_fd_);
        lock_fd_ = -1;
    }
}

TextFileUpdate::~TextFileUpdate() {
    if (lock_fd_ >= 0) {
        close(lock_fd_);
    }
}

bool TextFileUpdate::replace(const std::string& content) {
    if (!held()) {
        errno = ENOLCK;
        return false;
    }
    std::filesystem::path temporary = path_;
    temporary += ".tmp";
    // Only the lock holder writes the temporary file, so a fixed name suffices; a crashed
    // writer's leftover is simply overwritten.
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool written = write_all(fd, content) && fsync(fd) == 0;
    int error = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), path_.c_str()) != 0) {
        error = written ? errno : error;
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    sync_directory(path_.parent_path());
    return true;
}

}  // namespace tarnwick::platform
