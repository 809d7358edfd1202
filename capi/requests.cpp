// One C function per request of the service.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "capi/boundary.h"
#include "capi/handles.h"
#include "capi/utf8_strings.h"

using tarnwick::capi::guarded;
using tarnwick::capi::usable;
namespace client = tarnwick::client;

namespace {

// Runs `request` on the client's C++ object once the handle is known to be live.
template <typename Request>
tarnwick_error with_client(const char* function, tarnwick_client* handle, Request&& request) {
    if (!usable(handle)) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return guarded(function, [&] { return tarnwick::capi::to_c(request(*handle->client)); });
}

void fill_connection(const client::PortConnection& from, tarnwick_connection& to) {
    to = tarnwick_connection{};
    to.connected = from.connected ? 1 : 0;
    to.port_truncated = tarnwick::capi::copy_truncated(from.port, to.port, sizeof to.port) ? 0 : 1;
    to.baud = from.baud;
}

int as_int(bool flag) {
    return flag ? 1 : 0;
}

// The same for a request whose result is a flag, handed to C as 0 or 1 in `out`.
template <typename Request>
tarnwick_error with_flag(const char* function, tarnwick_client* handle, int* out,
                         Request&& request) {
    return with_client(function, handle, [&](client::Client& c) {
        bool flag = false;
        const client::ClientError error = request(c, flag);
        *out = as_int(flag);
        return error;
    });
}

}  // namespace

extern "C" {

tarnwick_error tarnwick_quit(tarnwick_client* client) {
    return with_client(__func__, client, [](client::Client& c) { return c.quit(); });
}

tarnwick_error tarnwick_enum_ports(tarnwick_client* client, char* buffer, size_t size,
                                   size_t* needed, size_t* count) {
    if (needed == nullptr || count == nullptr || (buffer == nullptr && size != 0)) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    *needed = 0;
    *count = 0;
    std::string list;
    std::size_t names = 0;
    const tarnwick_error error = with_client(__func__, client, [&](client::Client& c) {
        std::vector<std::wstring> ports;
        const client::ClientError asked = c.enum_ports(ports);
        for (const std::wstring& port : ports) {
            list += tarnwick::to_utf8(port);
            list += '\0';
        }
        list += '\0';
        names = ports.size();
        return asked;
    });
    if (error != TARNWICK_OK) {
        return error;
    }
    *needed = list.size();
    *count = names;
    if (size < list.size()) {
        return TARNWICK_ERROR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, list.data(), list.size());
    return TARNWICK_OK;
}

tarnwick_error tarnwick_connect(tarnwick_client* client, int parallel_scan,
                                tarnwick_connection* result) {
    if (result == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_client(__func__, client, [&](client::Client& c) {
        client::PortConnection connection;
        const client::ClientError error = c.connect(parallel_scan != 0, connection);
        fill_connection(connection, *result);
        return error;
    });
}

tarnwick_error tarnwick_connect_port(tarnwick_client* client, const char* port, int32_t baud,
                                     int* connected, uint32_t* system_error) {
    std::wstring name;
    if (connected == nullptr || system_error == nullptr ||
        !tarnwick::capi::wide_argument(port, name)) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_client(__func__, client, [&](client::Client& c) {
        client::ConnectPortResult result;
        const client::ClientError error = c.connect_port(name, baud, result);
        *connected = as_int(result.connected);
        *system_error = result.connected ? 0 : result.system_error;
        return error;
    });
}

tarnwick_error tarnwick_disconnect(tarnwick_client* client) {
    return with_client(__func__, client, [](client::Client& c) { return c.disconnect(); });
}

tarnwick_error tarnwick_get_input_mode(tarnwick_client* client, int32_t* mode) {
    if (mode == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_client(__func__, client,
                       [&](client::Client& c) { return c.get_input_mode(*mode); });
}

tarnwick_error tarnwick_open_file(tarnwick_client* client, const char* path, int loop, float speed,
                                  int* opened) {
    std::wstring wide;
    if (opened == nullptr || !tarnwick::capi::wide_argument(path, wide)) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_flag(__func__, client, opened, [&](client::Client& c, bool& flag) {
        return c.open_file(wide, loop != 0, speed, flag);
    });
}

tarnwick_error tarnwick_start_write(tarnwick_client* client, const char* path, int* started) {
    std::wstring wide;
    if (started == nullptr || !tarnwick::capi::wide_argument(path, wide)) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_flag(__func__, client, started,
                     [&](client::Client& c, bool& flag) { return c.start_write(wide, flag); });
}

tarnwick_error tarnwick_stop_write(tarnwick_client* client, int* had_input) {
    if (had_input == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_flag(__func__, client, had_input,
                     [&](client::Client& c, bool& flag) { return c.stop_write(flag); });
}

tarnwick_error tarnwick_get_valid_rmc(tarnwick_client* client, tarnwick_rmc* fix, int* has_fix) {
    if (fix == nullptr || has_fix == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_client(__func__, client, [&](client::Client& c) {
        std::optional<client::RMC> valid;
        const client::ClientError error = c.get_valid_rmc(valid);
        *fix = valid.value_or(tarnwick_rmc{});
        *has_fix = as_int(valid.has_value());
        return error;
    });
}

tarnwick_error tarnwick_get_time_stamp_mode(tarnwick_client* client, int* tstamp) {
    if (tstamp == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_flag(__func__, client, tstamp,
                     [&](client::Client& c, bool& flag) { return c.get_time_stamp_mode(flag); });
}

tarnwick_error tarnwick_restart_receiver(tarnwick_client* client, int cold) {
    return with_client(__func__, client,
                       [&](client::Client& c) { return c.restart_receiver(cold != 0); });
}

tarnwick_error tarnwick_get_connection(tarnwick_client* client, tarnwick_connection* connection) {
    if (connection == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_client(__func__, client, [&](client::Client& c) {
        client::PortConnection current;
        const client::ClientError error = c.get_connection(current);
        fill_connection(current, *connection);
        return error;
    });
}

tarnwick_error tarnwick_get_receiver(tarnwick_client* client, int32_t* value) {
    if (value == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_client(__func__, client, [&](client::Client& c) { return c.get_receiver(*value); });
}

tarnwick_error tarnwick_open_memory(tarnwick_client* client, const char* name, int* opened) {
    std::wstring wide;
    if (opened == nullptr || !tarnwick::capi::wide_argument(name, wide)) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_flag(__func__, client, opened,
                     [&](client::Client& c, bool& flag) { return c.open_memory(wide, flag); });
}

tarnwick_error tarnwick_set_receiver(tarnwick_client* client, int32_t value, int32_t* result) {
    if (result == nullptr) {
        return TARNWICK_ERROR_INVALID_ARGUMENT;
    }
    return with_client(__func__, client,
                       [&](client::Client& c) { return c.set_receiver(value, *result); });
}

}  // extern "C"
