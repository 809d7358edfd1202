#include "platform/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tarnwick::platform {
namespace {

// Closes `fd` keeping the errno that explains the failure being reported.
void close_keeping_errno(int fd) {
    const int error = errno;
    close(fd);
    errno = error;
}

}  // namespace

ssize_t read_at(int fd, void* buffer, std::size_t length, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t filled = 0;
    while (filled < length) {
        const ssize_t got =
            pread(fd, bytes + filled, length - filled, static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(filled);
}

bool write_at(int fd, const void* bytes, std::size_t length, std::uint64_t offset) {
    const auto* from = static_cast<const char*>(bytes);
    for (std::size_t put = 0; put < length;) {
        const ssize_t n = pwrite(fd, from + put, length - put, static_cast<off_t>(offset + put));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        put += static_cast<std::size_t>(n);
    }
    return true;
}

int create_memory_file(const char* name, std::uint64_t size) {
    const int fd = memfd_create(name, MFD_CLOEXEC);
    if (fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close_keeping_errno(fd);
        return -1;
    }
    return fd;
}

int copy_to_memory_file(int file_fd, std::uint64_t size) {
    const int fd = create_memory_file("tarnwick-file-copy", size);
    if (fd < 0) {
        return -1;
    }
    std::vector<char> chunk(65536);
    for (std::uint64_t copied = 0; copied < size;) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - copied));
        const ssize_t got = read_at(file_fd, chunk.data(), wanted, copied);
        if (got < 0 || !write_at(fd, chunk.data(), static_cast<std::size_t>(got), copied)) {
            close_keeping_errno(fd);
            return -1;
        }
        if (static_cast<std::size_t>(got) < wanted) {
            break;  // the file is shorter now; the rest stays zero
        }
        copied += wanted;
    }
    return fd;
}

bool extend_file(int fd, std::uint64_t old_size, std::uint64_t size) {
    const int error =
        posix_fallocate(fd, static_cast<off_t>(old_size), static_cast<off_t>(size - old_size));
    if (error == 0) {
        return true;
    }
    static_cast<void>(ftruncate(fd, static_cast<off_t>(old_size)));
    errno = error;
    return false;
}

void* map_staged_copy(int fd, std::uint64_t offset, std::size_t length) {
    void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        return nullptr;
    }
    if (read_at(fd, base, length, offset) < 0) {
        const int error = errno;
        munmap(base, length);
        errno = error;
        return nullptr;
    }
    return base;
}

}  // namespace tarnwick::platform
