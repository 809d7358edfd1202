#include "platform/serial_discovery.h"

#include <algorithm>
#include <fstream>
#include <tuple>

namespace tarnwick::platform {
namespace {

int group_of(const std::string& name) {
    if (name.starts_with("ttyUSB")) {
        return 0;
    }
    if (name.starts_with("ttyACM")) {
        return 1;
    }
    return 2;
}

// "ttyS10" -> ("ttyS", 10), so that ttyS2 sorts before ttyS10.
std::tuple<int, std::string, unsigned long> sort_key(const std::string& name) {
    std::size_t digits = name.find_last_not_of("0123456789") + 1;
    std::string stem = name.substr(0, digits);
    unsigned long number =
        digits < name.size() && name.size() - digits < 10 ? std::stoul(name.substr(digits)) : 0;
    return {group_of(name), stem, number};
}

bool is_present_uart(const std::filesystem::path& entry) {
    std::error_code ec;
    if (!std::filesystem::exists(entry / "device", ec)) {
        return false;  // virtual terminals and the like
    }
    std::ifstream type_file(entry / "type");
    int type = -1;
    if (type_file >> type) {
        return type != 0;  // 0: a placeholder port without hardware
    }
    return true;  // USB and other drivers without a serial-core "type"
}

}  // namespace

std::vector<std::string> discover_serial_devices(const std::filesystem::path& sysfs_tty,
                                                 const std::filesystem::path& device_dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sysfs_tty, ec)) {
        std::string name = entry.path().filename().string();
        if (is_present_uart(entry.path()) && std::filesystem::exists(device_dir / name, ec)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return sort_key(a) < sort_key(b); });
    std::vector<std::string> devices;
    for (const std::string& name : names) {
        devices.push_back((device_dir / name).string());
    }
    return devices;
}

}  // namespace tarnwick::platform
