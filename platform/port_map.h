#pragma once
// The port map: which device path each "COMn:" name opens. Its file (port_map_path()) is
// human-editable text, one binding per line:
//
//   # comment
//   COM3: = /dev/ttyUSB0
//   COM7: = /dev/pts/4  # kept open by pid 4242 (tarnwick-sim)
//
// The last form is a binding whose device a process keeps open by design and shares (a
// simulator holding the slave of its pseudo-terminal): that process does not make the port
// busy. Readers that do not know the marker see a comment.
//
// Names without a binding go to the serial devices found on the machine (serial_discovery.h),
// in their stable order, taking the lowest numbers the file leaves free.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick::platform {

struct BoundDevice {
    BoundDevice() = default;
    BoundDevice(std::string path, int keeper = 0) : device(std::move(path)), kept_open_by(keeper) {}
    bool operator==(const BoundDevice&) const = default;

    std::string device;
    // The process that keeps the device open and lets others use it; 0: none.
    int kept_open_by = 0;
};

using PortTable = std::map<unsigned, BoundDevice>;  // COM number -> device

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
