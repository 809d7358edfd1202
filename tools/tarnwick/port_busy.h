#pragma once
// What a user is told about a port that another program holds.

#include <optional>
#include <string>

namespace tarnwick::cli {

// "busy: in use by another program (getty, pid 123)" for a port ("COM3:" or a device path) that
// another program is seen to hold; nothing when no holder is seen (it may have let go, or be
// another user's program that this user cannot see).
std::optional<std::string> port_busy_text(const std::wstring& port);
// The same text when the holder cannot be named: "busy: in use by another program".
std::string port_busy_text_or_plain(const std::wstring& port);

}  // namespace tarnwick::cli
