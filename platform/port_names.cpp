#include "platform/port_names.h"

#include <cwctype>

namespace tarnwick::platform {

std::optional<unsigned> com_port_number(std::wstring_view name) {
    if (name.starts_with(L"\\\\.\\")) {
        name.remove_prefix(4);
    }
    if (name.size() < 4 || std::towupper(static_cast<wint_t>(name[0])) != L'C' ||
        std::towupper(static_cast<wint_t>(name[1])) != L'O' ||
        std::towupper(static_cast<wint_t>(name[2])) != L'M') {
        return std::nullopt;
    }
    name.remove_prefix(3);
    if (name.ends_with(L':')) {
        name.remove_suffix(1);
    }
    if (name.empty() || name.size() > 6 || name[0] == L'0') {
        return std::nullopt;
    }
    unsigned number = 0;
    for (wchar_t c : name) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<unsigned>(c - L'0');
    }
    return number;
}

std::wstring com_port_name(unsigned number) {
    return L"COM" + std::to_wstring(number) + L":";
}

}  // namespace tarnwick::platform
