#include "ports/scan_event.h"

#include <iterator>

namespace {

constexpr const wchar_t* names[] = {
    L"StartScan",
    L"StartPortScan",
    L"CreateFileFailed",
    L"StartTryBaudRate",
    L"InvalideHandle",
    L"GetCommStateFailed",
    L"SetCommStateFailed",
    L"SetupPort",
    L"SetupProtocol",
    L"SetupDataFlow",
    L"SetCommTimeoutsFailed",
    L"ReadFileFailed",
    L"SetupProtocolFailed",
    L"FlushOutputFailed",
    L"StartInputFailed",
    L"EndTryBaudRate",
    L"EndPortScan",
    L"EndScan",
};
static_assert(std::size(names) == EndScan + 1);

}  // namespace

const wchar_t* scan_event_name(std::int32_t code) noexcept {
    if (code < 0 || code >= static_cast<std::int32_t>(std::size(names))) {
        return L"Unknown";
    }
    return names[code];
}
