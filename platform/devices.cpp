// EnumDevices: the namespace's COM ports (bound in the port map or discovered), in number order.

#include <cstring>
#include <string>

#include "platform/port_map.h"
#include "platform/port_names.h"
#include "platform/win32.h"

DWORD EnumDevices(LPWSTR list, LPDWORD length) {
    if (length == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::wstring names;
    for (const auto& [number, device] : tarnwick::platform::current_ports()) {
        names += tarnwick::platform::com_port_name(number);
        names += L'\0';
    }
    names += L'\0';  // the empty name that ends the list
    auto needed = static_cast<DWORD>(names.size());
    if (list == nullptr || *length < needed) {
        *length = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::wmemcpy(list, names.data(), names.size());
    *length = needed;
    return ERROR_SUCCESS;
}
