#include "client/service_settings.h"

#include "platform/win32.h"
#include "protocol/registry.h"

namespace tarnwick::client {
namespace {

std::wstring string_value(HKEY key, const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return text;
}

std::optional<std::uint32_t> dword_value(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

ServiceSettings read_service_settings() {
    ServiceSettings settings;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, protocol::registry::key, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return settings;
    }
    settings.path = string_value(key, protocol::registry::path_value);
    settings.port = string_value(key, protocol::registry::port_value);
    settings.baud = dword_value(key, protocol::registry::baud_value);
    settings.gnss = dword_value(key, protocol::registry::gnss_value);
    RegCloseKey(key);
    return settings;
}

bool write_gnss_setting(bool on) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, protocol::registry::key, 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD value = on ? 1 : 0;
    const LSTATUS status = RegSetValueExW(key, protocol::registry::gnss_value, 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return false;
    }
    return true;
}

}  // namespace tarnwick::client
