#pragma once
// The serial devices of this machine, in a stable order: USB serial adapters (ttyUSBn), USB
// modems (ttyACMn), then on-board UARTs that really exist (a tty in sysfs with a device behind
// it whose "type" is not 0, the serial core's "unknown port"). Within each group by number.

#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::platform {

std::vector<std::string> discover_serial_devices(
    const std::filesystem::path& sysfs_tty = "/sys/class/tty",
    const std::filesystem::path& device_dir = "/dev");

}  // namespace tarnwick::platform
