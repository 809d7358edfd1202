#include "tools/common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tarnwick::tools {
namespace {

std::error_code last_error() {
    return {errno, std::generic_category()};
}

std::error_code write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return last_error();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

}  // namespace

std::error_code write_file_atomically(const std::filesystem::path& path, std::string_view bytes) {
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return last_error();
    }
    std::error_code error = write_all(fd, bytes);
    if (!error && ::fchmod(fd, 0644) != 0) {
        error = last_error();
    }
    if (!error && ::fsync(fd) != 0) {
        error = last_error();
    }
    if (::close(fd) != 0 && !error) {
        error = last_error();
    }
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = last_error();
    }
    if (error) {
        ::unlink(temporary.c_str());
    }
    return error;
}

}  // namespace tarnwick::tools
