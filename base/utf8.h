#pragma once
// The one conversion between the wide strings of the interface (UTF-32 wchar_t on Linux) and
// UTF-8, used by file names, text files and the trace alike.

#include <string>
#include <string_view>

namespace tarnwick {

// Characters that are not valid Unicode scalar values (surrogates, beyond U+10FFFF) become U+FFFD.
void append_utf8(std::string& out, char32_t c);
std::string to_utf8(std::wstring_view text);
// Malformed UTF-8 sequences become U+FFFD.
std::wstring from_utf8(std::string_view text);

}  // namespace tarnwick
