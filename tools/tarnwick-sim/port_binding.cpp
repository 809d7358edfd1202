#include "tools/tarnwick-sim/port_binding.h"

#include <unistd.h>

#include <stdexcept>

#include "base/utf8.h"
#include "platform/namespace.h"
#include "platform/port_map.h"
#include "platform/port_names.h"

namespace tarnwick::sim {

PortBinding::PortBinding(const std::wstring& requested, const std::filesystem::path& device)
    : device_(device) {
    if (requested.empty()) {
        name_ = platform::first_free_port_name();
    } else {
        const auto number = platform::com_port_number(requested);
        if (!number || *number == 0) {
            throw std::runtime_error("not a port name (COMn:): " + tarnwick::to_utf8(requested));
        }
        name_ = platform::com_port_name(*number);
    }
    // This process keeps the device open (the simulator's slave descriptor): the binding says
    // so, or the service would find the port busy.
    if (!platform::bind_port(name_, device_, static_cast<int>(getpid()))) {
        throw std::runtime_error("cannot bind " + tarnwick::to_utf8(name_) + " in " +
                                 platform::port_map_path().string());
    }
    bound_ = true;
}

PortBinding::~PortBinding() {
    release();
}

void PortBinding::release() noexcept {
    if (!bound_) {
        return;
    }
    bound_ = false;
    try {
        const auto number = platform::com_port_number(name_);
        const platform::PortTable bindings = platform::read_port_map();
        const auto binding = bindings.find(*number);
        if (binding != bindings.end() && binding->second.device == device_.string()) {
            platform::unbind_port(name_);
        }
    } catch (...) {
        // A port map that cannot be read any more leaves a stale binding, which every user of
        // the map must survive anyway (a simulator killed outright leaves one too).
    }
}

}  // namespace tarnwick::sim
