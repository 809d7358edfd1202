#pragma once
// The service's settings as they stand in its registry key (in this namespace): the program
// clients start, the remembered port and rate, and the gnss setting. Read and written directly,
// so that they can be seen and changed whether the service runs or not.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::client {

struct ServiceSettings {
    std::wstring path;  // empty when the service never ran here
    std::wstring port;  // empty when no port was set up yet
    std::optional<std::uint32_t> baud;
    // The stored value; absent means 0. Only 1 turns the mode on.
    std::optional<std::uint32_t> gnss;

    bool gnss_on() const noexcept { return gnss.value_or(0) == 1; }
};

ServiceSettings read_service_settings();

// Stores "gnss" as a REG_DWORD (1 on, 0 off), creating the key when needed; false when the
// registry refused (the platform's last error tells why).
bool write_gnss_setting(bool on);

}  // namespace tarnwick::client
