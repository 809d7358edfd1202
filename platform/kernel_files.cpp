#include "platform/kernel_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::platform {

std::optional<std::string> read_kernel_file(const std::filesystem::path& file, std::size_t limit) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text(limit, '\0');
    std::size_t filled = 0;
    bool failed = false;
    while (filled < limit) {
        const ssize_t got = read(fd, text.data() + filled, limit - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    close(fd);
    if (failed) {
        return std::nullopt;
    }
    text.resize(filled);
    return text;
}

}  // namespace tarnwick::platform
