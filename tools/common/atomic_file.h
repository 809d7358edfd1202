#pragma once
// Replacing a file so that a reader sees the old content or the new one, never a torn mix.

#include <filesystem>
#include <string_view>
#include <system_error>

namespace tarnwick::tools {

// Writes bytes to a fresh file beside path, flushes it to disk and renames it over path.
// On failure path is untouched, no temporary is left behind, and the error is returned.
std::error_code write_file_atomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tarnwick::tools
