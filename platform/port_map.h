#pragma once
// The port map: which device path each "COMn:" name opens. Its file (port_map_path()) is
// human-editable text, one binding per line:
//
//   # comment
//   COM3: = /dev/ttyUSB0
//
// Names without a binding go to the serial devices found on the machine (serial_discovery.h),
// in their stable order, taking the lowest numbers the file leaves free.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform {

using PortTable = std::map<unsigned, std::string>;  // COM number -> device path

// Tolerant of hand edits: lines it cannot read are skipped with a trace.
PortTable parse_port_map(std::string_view text);
std::string format_port_map(const PortTable& bindings);

// The bindings stored in the namespace's port map file.
PortTable read_port_map();
// The bindings plus the discovered devices that are not bound by the file.
PortTable resolve_ports(const PortTable& bindings, const std::vector<std::string>& discovered);
// resolve_ports over the namespace's file and this machine's devices.
PortTable current_ports();

}  // namespace tarnwick::platform
