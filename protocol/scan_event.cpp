#include "protocol/scan_event.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// The spellings are the service's own and part of what clients see.
constexpr std::array<const char*, EndScan + 1> names = {
    "StartScan",
    "StartPortScan",
    "CreateFileFailed",
    "StartTryBaudRate",
    "InvalideHandle",
    "GetCommStateFailed",
    "SetCommStateFailed",
    "SetupPort",
    "SetupProtocol",
    "SetupDataFlow",
    "SetCommTimeoutsFailed",
    "ReadFileFailed",
    "SetupProtocolFailed",
    "FlushOutputFailed",
    "StartInputFailed",
    "EndTryBaudRate",
    "EndPortScan",
    "EndScan",
};

constexpr bool is_named(std::int32_t code) {
    return code >= 0 && code < static_cast<std::int32_t>(names.size());
}

// The same names widened at compile time (every name is ASCII), terminator included.
constexpr std::size_t wide_name_size = 24;
static_assert(std::all_of(names.begin(), names.end(),
                          [](std::string_view name) { return name.size() < wide_name_size; }));
constexpr auto wide_names = [] {
    std::array<std::array<wchar_t, wide_name_size>, names.size()> wide{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view name = names[i];
        std::copy(name.begin(), name.end(), wide[i].begin());
    }
    return wide;
}();

}  // namespace

const wchar_t* scan_event_name(std::int32_t code) noexcept {
    return is_named(code) ? wide_names[static_cast<std::size_t>(code)].data() : L"Unknown";
}

namespace tarnwick::protocol {

const char* scan_event_name_narrow(std::int32_t code) noexcept {
    return is_named(code) ? names[static_cast<std::size_t>(code)] : "Unknown";
}

}  // namespace tarnwick::protocol
