#include "platform/kernel_files.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/file_bytes.h"

namespace tarnwick::platform {

std::optional<std::string> read_kernel_file(const std::filesystem::path& file, std::size_t limit) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text(limit, '\0');
    const ssize_t got = read_at(fd, text.data(), limit, 0);
    close(fd);
    if (got < 0) {
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(got));
    return text;
}

}  // namespace tarnwick::platform
