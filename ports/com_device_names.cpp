#include "ports/com_device_names.h"

#include <string_view>

std::vector<std::wstring> com_device_names(const wchar_t* list, std::size_t length) {
    std::vector<std::wstring> names;
    if (list == nullptr) {
        return names;
    }
    std::size_t position = 0;
    while (position < length && list[position] != L'\0') {
        std::size_t end = position;
        while (end < length && list[end] != L'\0') {
            ++end;
        }
        if (end == length) {
            break;
        }
        const std::wstring_view name(list + position, end - position);
        if (name.starts_with(L"COM")) {
            names.emplace_back(name);
        }
        position = end + 1;
    }
    return names;
}
