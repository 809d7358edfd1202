#include "server/registry_settings.h"

#include <cwchar>
#include <utility>

namespace tarnwick::server {

ServiceKey ServiceKey::open() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, registry_key_path, 0, 0, &key) != ERROR_SUCCESS) {
        key = nullptr;
    }
    return ServiceKey(key);
}

ServiceKey ServiceKey::create() {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, registry_key_path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
        key = nullptr;
    }
    return ServiceKey(key);
}

ServiceKey::~ServiceKey() {
    if (key_ != nullptr) {
        RegCloseKey(key_);
    }
}

ServiceKey::ServiceKey(ServiceKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}

bool ServiceKey::set_string(const wchar_t* name, const wchar_t* text) {
    const auto bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

bool ServiceKey::set_dword(const wchar_t* name, DWORD value) {
    return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

bool ServiceKey::get_string(const wchar_t* name, wchar_t* buffer, DWORD units) {
    DWORD type = REG_NONE;
    DWORD bytes = units * sizeof(wchar_t);
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    // A stored value need not carry its own terminator.
    buffer[units - 1] = L'\0';
    return true;
}

bool ServiceKey::get_dword(const wchar_t* name, std::int32_t& value) {
    DWORD type = REG_NONE;
    DWORD stored = 0;
    DWORD bytes = sizeof stored;
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<LPBYTE>(&stored), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return false;
    }
    value = static_cast<std::int32_t>(stored);
    return true;
}

NMEAMode configured_nmea_mode() {
    std::int32_t value = 0;
    ServiceKey key = ServiceKey::open();
    return key && key.get_dword(protocol::registry::gnss_value, value) && value == 1
               ? NMEAMode::gnss
               : NMEAMode::gps;
}

}  // namespace tarnwick::server
