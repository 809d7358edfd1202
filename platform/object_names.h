#pragma once
// How a named object's name becomes a file name in the namespace's objects directory.

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::platform {

// The UTF-8 bytes of `name`, with every byte outside [A-Za-z0-9_-] and '.' (except in front)
// written as %XX (upper-case hex), followed by `suffix` (".event", ".mutex" or ".map").
// Nothing when the result would exceed a file name's 255 bytes.
std::optional<std::string> object_file_name(std::wstring_view name, std::string_view suffix);

}  // namespace tarnwick::platform
