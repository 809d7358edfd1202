#pragma once
// The serial ports in the platform's list of loaded devices.

#include <cstddef>
#include <string>
#include <vector>

// The names of `list` that start with "COM" (exactly that case), in list order. The list holds
// NUL-terminated names and ends with an empty name; nothing at or beyond `length` wide
// characters is read, and a name without its terminator inside `length` is not taken.
std::vector<std::wstring> com_device_names(const wchar_t* list, std::size_t length);
