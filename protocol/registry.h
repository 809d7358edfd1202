#pragma once
// The service's registry key below HKEY_CURRENT_USER and the values kept there: "path" (the
// executable, written by the service so that clients can start it), "port" and "baud" (the
// receiver port last set up), and "gnss", set by users (1: receivers of every satellite
// system).

namespace tarnwick::protocol::registry {

inline constexpr const wchar_t* key = L"Software\\Vestrel\\Tarnwick";
inline constexpr const wchar_t* path_value = L"path";
inline constexpr const wchar_t* port_value = L"port";
inline constexpr const wchar_t* baud_value = L"baud";
inline constexpr const wchar_t* gnss_value = L"gnss";

}  // namespace tarnwick::protocol::registry
