#include "tools/tarnwick/port_busy.h"

#include "platform/port_holders.h"

namespace tarnwick::cli {
namespace {

constexpr const char* busy = "busy: in use by another program";

}  // namespace

std::optional<std::string> port_busy_text(const std::wstring& port) {
    if (port.empty()) {
        return std::nullopt;
    }
    const std::optional<platform::PortHolder> holder = platform::find_port_holder(port);
    if (!holder) {
        return std::nullopt;
    }
    const std::string named = platform::describe_holder(*holder);
    return std::string(busy) + (named.empty() ? "" : " (" + named + ")");
}

std::string port_busy_text_or_plain(const std::wstring& port) {
    return port_busy_text(port).value_or(busy);
}

}  // namespace tarnwick::cli
