#pragma once
// Reading the kernel's small text files (/proc, /sys). A process that exits while its files are
// read makes the read fail with ESRCH, and a file that is a folder fails with EISDIR; the
// standard streams turn such a failure into an exception in some paths. Here every failure
// reads as "not there".

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::platform {

// The file's first `limit` bytes; nothing when it cannot be opened or read.
std::optional<std::string> read_kernel_file(const std::filesystem::path& file,
                                            std::size_t limit = 4096);

}  // namespace tarnwick::platform
