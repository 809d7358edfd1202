#pragma once
// The C interface's strings are UTF-8; the C++ API's are wide.

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::capi {

// The wide form of a NUL-terminated argument; false for NULL or for bytes that are not UTF-8
// (which would reach the service altered).
bool wide_argument(const char* text, std::wstring& wide);

// Copies the UTF-8 form of `text` into `out` (`size` bytes, at least 1) with its NUL, cut at a
// character boundary when it does not fit; false when it was cut.
bool copy_truncated(std::wstring_view text, char* out, std::size_t size);

}  // namespace tarnwick::capi
