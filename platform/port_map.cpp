#include "platform/port_map.h"

#include <algorithm>
#include <cerrno>

#include "base/trace.h"
#include "base/utf8.h"
#include "platform/atomic_text_file.h"
#include "platform/last_error.h"
#include "platform/namespace.h"
#include "platform/port_names.h"
#include "platform/serial_discovery.h"
#include "platform/test_seams.h"

namespace tarnwick::platform {
namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

constexpr std::string_view kKeeperMarker = "kept open by pid ";

// The pid of a "kept open by pid N" comment (anything may follow N after a space); 0 otherwise.
int keeper_in(std::string_view comment) {
    comment = trimmed(comment);
    if (!comment.starts_with(kKeeperMarker)) {
        return 0;
    }
    comment.remove_prefix(kKeeperMarker.size());
    long pid = 0;
    std::size_t digits = 0;
    while (digits < comment.size() && digits < 10 &&
           std::isdigit(static_cast<unsigned char>(comment[digits]))) {
        pid = pid * 10 + (comment[digits] - '0');
        ++digits;
    }
    bool ends = digits == comment.size() || comment[digits] == ' ';
    return digits > 0 && ends && pid > 0 && pid <= 0x3FFFFFFF ? static_cast<int>(pid) : 0;
}

constexpr std::string_view kPreamble =
    "# Tarnwick port map: one \"COMn: = device path\" per line; '#' starts a comment.\n"
    "# Ports not named here go to the serial devices found on this machine.\n";

}  // namespace

PortTable parse_port_map(std::string_view text) {
    PortTable bindings;
    std::size_t line_number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line_number;
        std::size_t hash = line.find('#');
        int keeper = hash == std::string_view::npos ? 0 : keeper_in(line.substr(hash + 1));
        line = trimmed(line.substr(0, hash));
        if (line.empty()) {
            continue;
        }
        std::size_t equals = line.find('=');
        auto number = equals == std::string_view::npos
                          ? std::nullopt
                          : com_port_number(from_utf8(trimmed(line.substr(0, equals))));
        std::string_view device = equals == std::string_view::npos
                                      ? std::string_view{}
                                      : trimmed(line.substr(equals + 1));
        if (!number || device.empty()) {
            trace(L"port map: line %d ignored (not \"COMn: = device\")",
                  static_cast<int>(line_number));
            continue;
        }
        bindings[*number] = BoundDevice(std::string(device), keeper);
    }
    return bindings;
}

std::string format_port_map(const PortTable& bindings) {
    std::string out(kPreamble);
    for (const auto& [number, bound] : bindings) {
        out += to_utf8(com_port_name(number)) + " = " + bound.device;
        if (bound.kept_open_by > 0) {
            out += "  # " + std::string(kKeeperMarker) + std::to_string(bound.kept_open_by);
        }
        out += "\n";
    }
    return out;
}

PortTable read_port_map() {
    auto text = read_text_file(port_map_path());
    return text ? parse_port_map(*text) : PortTable{};
}

PortTable resolve_ports(const PortTable& bindings, const std::vector<std::string>& discovered) {
    PortTable ports = bindings;
    unsigned next = 1;
    for (const std::string& device : discovered) {
        bool bound = std::any_of(bindings.begin(), bindings.end(), [&](const auto& binding) {
            return binding.second.device == device;
        });
        if (bound) {
            continue;
        }
        while (ports.count(next) != 0) {
            ++next;
        }
        ports[next] = device;
    }
    return ports;
}

PortTable current_ports() {
    if (discovered_devices_hidden()) {
        return read_port_map();
    }
    return resolve_ports(read_port_map(), discover_serial_devices());
}

namespace {

template <typename Change>
bool update_port_map(Change change) {
    std::filesystem::path path = port_map_path();
    TextFileUpdate lock(path);
    auto text = lock.held() ? read_text_file(path) : std::nullopt;
    if (!text) {
        return fail_errno(false);
    }
    PortTable bindings = parse_port_map(*text);
    if (!change(bindings)) {
        return false;
    }
    if (!lock.replace(format_port_map(bindings))) {
        return fail_errno(false);
    }
    return true;
}

}  // namespace

bool bind_port(const std::wstring& com_name, const std::filesystem::path& device,
               int kept_open_by) {
    auto number = com_port_number(com_name);
    std::string device_text = device.string();
    if (!number || device_text.empty() || device_text.find('\n') != std::string::npos ||
        device_text.find('#') != std::string::npos ||
        trimmed(device_text).size() != device_text.size() || kept_open_by < 0) {
        return fail(ERROR_INVALID_PARAMETER, false);
    }
    return update_port_map([&](PortTable& bindings) {
        bindings[*number] = BoundDevice(device_text, kept_open_by);
        return true;
    });
}

bool unbind_port(const std::wstring& com_name) {
    auto number = com_port_number(com_name);
    if (!number) {
        return fail(ERROR_INVALID_PARAMETER, false);
    }
    return update_port_map([&](PortTable& bindings) {
        if (bindings.erase(*number) == 0) {
            return fail(ERROR_FILE_NOT_FOUND, false);
        }
        return true;
    });
}

std::wstring first_free_port_name() {
    PortTable ports = current_ports();
    unsigned number = 1;
    while (ports.count(number) != 0) {
        ++number;
    }
    return com_port_name(number);
}

}  // namespace tarnwick::platform
