#pragma once
// The registry's content and its text form, modelled on Windows' .reg files:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Vestrel\Tarnwick]
//   "path"="/usr/bin/tarnwickd"
//   "baud"=dword:00001200
//
// Data is kept as the exact bytes the caller stored (REG_SZ in native wchar_t units, 4 bytes
// on Linux, with the terminator the caller included). docs/platform.md gives the full grammar.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace tarnwick::platform {

struct RegistryValue {
    std::wstring name;  // empty: the key's default value, written "@"
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegistryKeyContent {
    std::wstring path;  // "HKEY_CURRENT_USER\Software\Vestrel\Tarnwick"
    std::vector<RegistryValue> values;
};

class RegistryDocument {
  public:
    // Tolerant of hand edits: lines it cannot read are skipped (with a trace), never fatal.
    static RegistryDocument parse(std::string_view text);
    std::string format() const;

    // A key exists when it is stored or some stored key lies beneath it (case-insensitive).
    bool has_key(std::wstring_view path) const;
    // Adds the key when missing; returns true when it was added.
    bool add_key(std::wstring_view path);
    const RegistryValue* find_value(std::wstring_view path, std::wstring_view name) const;
    void set_value(std::wstring_view path, RegistryValue value);
    bool delete_value(std::wstring_view path, std::wstring_view name);

  private:
    RegistryKeyContent* find_key(std::wstring_view path);
    const RegistryKeyContent* find_key(std::wstring_view path) const;

    std::vector<RegistryKeyContent> keys_;
};

// Case-insensitive equality of key paths and value names, as in the Windows registry.
bool registry_names_equal(std::wstring_view a, std::wstring_view b);

}  // namespace tarnwick::platform
