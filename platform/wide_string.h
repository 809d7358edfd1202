#pragma once
// Conversions between the wide strings of the interface (UTF-32 wchar_t on Linux) and the
// UTF-8 byte strings of file names and text files.

#include <string>
#include <string_view>

namespace tarnwick::platform {

// Characters that are not valid Unicode scalar values become U+FFFD.
std::string to_utf8(std::wstring_view text);
// Malformed UTF-8 sequences become U+FFFD.
std::wstring from_utf8(std::string_view text);

}  // namespace tarnwick::platform
