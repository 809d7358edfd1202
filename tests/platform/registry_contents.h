#pragma once
// The two contents the crash test's writer process alternates between: large enough that a
// kill often lands in the middle of writing the file.

#include <string>

#include "platform/win32.h"

namespace tarnwick::test {

inline const std::wstring& registry_blob_a() {
    static const std::wstring blob(30000, L'a');
    return blob;
}

inline const std::wstring& registry_blob_b() {
    static const std::wstring blob = std::wstring(20000, L'b') + L"end";
    return blob;
}

inline bool write_registry_blob(const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LSTATUS status =
        RegSetValueExW(key, L"blob", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace tarnwick::test
