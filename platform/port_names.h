#pragma once
// Serial port names: "COMn:" (n from 1), the way the service and its clients name ports.

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::platform {

// n for "COMn:", "COMn" or "\\.\COMn" (case-insensitive "COM"); nothing for anything else.
std::optional<unsigned> com_port_number(std::wstring_view name);
// "COMn:".
std::wstring com_port_name(unsigned number);

}  // namespace tarnwick::platform
