// Choosing the receiver port: the remembered port and rate in the registry, and setting up a
// port as the service's input.

#include <cwchar>

#include "base/trace.h"
#include "protocol/registry.h"
#include "server/data_server.h"
#include "server/port_access.h"
#include "server/registry_settings.h"

using tarnwick::server::registry_key_path;
using tarnwick::server::ServiceKey;

namespace {

// Port names travel in buffers of 8 wide characters; a given name keeps at most 7.
constexpr std::size_t port_buffer_size = 8;

}  // namespace

bool CDataServer::get_last_used_port(wchar_t* name, std::int32_t& baud) {
    ServiceKey key = ServiceKey::open();
    if (!key) {
        return false;
    }
    trace(L"CDataServer::get_last_used_port: key [%s] found", registry_key_path);
    if (!key.get_string(tarnwick::protocol::registry::port_value, name,
                        tarnwick::server::remembered_port_units)) {
        return false;
    }
    trace(L"CDataServer::get_last_used_port: port %s", name);
    if (!key.get_dword(tarnwick::protocol::registry::baud_value, baud)) {
        return false;
    }
    trace(L"CDataServer::get_last_used_port: baud %d", baud);
    return true;
}

bool CDataServer::try_setup_port(const wchar_t* name, std::int32_t baud) {
    trace(L"CDataServer::try_setup_port(%s,%d)", name != nullptr ? name : L"soft port", baud);
    bool connected = false;
    DWORD error = ERROR_SUCCESS;
    {
        PortAccess access(*this);
        wchar_t port_name[port_buffer_size] = {};
        if (name == nullptr) {
            if (!get_last_used_port(port_name, baud)) {
                error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_FILE_NOT_FOUND;
            }
        } else {
            std::wcsncpy(port_name, name, port_buffer_size - 1);
        }
        if (error == ERROR_SUCCESS) {
            connected = setup_port(access, port_name, baud);
            error = connected ? ERROR_SUCCESS : GetLastError();
        }
    }
    // Read by a client asking why the port failed: what opening it reported.
    SetLastError(error);
    return connected;
}

bool CDataServer::setup_port(PortAccess& access, const wchar_t* name, std::int32_t baud) {
    // While any input is open, it stays: the set-up succeeds without opening anything.
    if (access.io() == nullptr) {
        access.port().nmea_mode = tarnwick::server::configured_nmea_mode();
    }
    const bool connected = access.io() != nullptr || access.port().try_connect(name, baud, 8, 0, 0);
    const DWORD error = GetLastError();
    if (connected) {
        access.adopt_input();
    }
    if (ServiceKey key = ServiceKey::open()) {
        trace(L"CDataServer::try_setup_port: key [%s] found", registry_key_path);
        // Only a serial input has a port worth remembering. Under a replay or a producer the
        // port holds the name of an earlier port (or none) and rate 0, and writing those would
        // leave the next start nothing it can reconnect to.
        if (connected && access.io()->is_serial_source()) {
            key.set_string(tarnwick::protocol::registry::port_value, access.port().name);
            key.set_dword(tarnwick::protocol::registry::baud_value, access.port().baud);
        }
    }
    trace(L"CDataServer::try_setup_port: connected = %s", connected ? L"true" : L"false");
    SetLastError(error);
    return connected;
}

bool CDataServer::connect_last_used_port() {
    wchar_t name[port_buffer_size] = {};
    std::int32_t baud = 0;
    return get_last_used_port(name, baud) && try_setup_port(name, baud);
}

void CDataServer::try_last_used_port() {
    trace(L"CDataServer::try_last_used_port");
    wchar_t name[port_buffer_size] = {};
    std::int32_t baud = 0;
    if (get_last_used_port(name, baud)) {
        try_reconnect(name, baud);
    }
}
