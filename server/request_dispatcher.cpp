// The client request protocol: one request read from "in", carried out, and its answer appended
// to "out". Every use of the input's reader happens under port_lock (PortAccess), so a reader
// that ends meanwhile is never used after its destruction.
//
// A request whose arguments cannot be read (a string with a refused count, or bytes beyond the
// channel) is answered as a failure without being carried out; the batch goes on with whatever
// follows, unless the channel itself is exhausted.

#include <cstdint>

#include "base/trace.h"
#include "exchange/counted_string.h"
#include "nmea/field_io.h"
#include "nmea/rmc_record.h"
#include "protocol/request_codes.h"
#include "server/data_server.h"
#include "server/port_access.h"
#include "server/registry_settings.h"

using tarnwick::nmea::read_field;
using tarnwick::nmea::write_field;
using tarnwick::protocol::is_request;
using tarnwick::protocol::RequestCode;

namespace {

void write_int(GPS::ostream& answer, std::int32_t value) {
    write_field(answer, value);
}

template <typename T>
T read_value(GPS::istream& request) {
    T value{};
    read_field(request, value);
    return value;
}

// A string argument; `usable` turns false when its count was refused.
GPS::owned_wstring read_string(GPS::istream& request, bool& usable) {
    bool refused = false;
    GPS::owned_wstring text = GPS::read_wstring(request, refused);
    usable = usable && !refused && !request.failed();
    return text;
}

const wchar_t* or_empty(const GPS::owned_wstring& text) {
    return text ? text.get() : L"";
}

}  // namespace

bool CDataServer::serve_request(GPS::istream& request, GPS::ostream& answer) {
    const auto code = read_value<std::int32_t>(request);
    if (request.failed()) {
        return false;
    }
    if (!is_request(code)) {
        write_int(answer, tarnwick::protocol::no_such_request);
        return true;
    }
    using enum RequestCode;
    const auto request_code = static_cast<RequestCode>(code);
    if (request_code == Quit) {
        request_stop();
        return true;
    }
    write_int(answer, code);
    switch (request_code) {
        case EnumPorts:
            enum_ports_request(answer);
            break;
        case Connect:
            connect_request(request, answer);
            break;
        case ConnectPort:
            connect_port_request(request, answer);
            break;
        case Disconnect:
            disconnect_request(answer);
            break;
        case GetInputMode:
            input_mode_request(answer);
            break;
        case OpenFile:
            open_file_request(request, answer);
            break;
        case StartWrite:
            start_write_request(request, answer);
            break;
        case StopWrite:
            stop_write_request(answer);
            break;
        case GetValidRMC:
            valid_rmc_request(answer);
            break;
        case GetTimeStampMode:
            write_int(answer, tstamp ? 1 : 0);
            break;
        case RestartReceiver:
            restart_receiver_request(request, answer);
            break;
        case GetConnection:
            connection_request(answer);
            break;
        case GetReceiver:
            get_receiver_request(answer);
            break;
        case OpenMemory:
            open_memory_request(request, answer);
            break;
        case SetReceiver:
            set_receiver_request(request, answer);
            break;
        default:
            break;
    }
    return true;
}

void CDataServer::enum_ports_request(GPS::ostream& answer) {
    // A running scan keeps its list until its end: the answer is the list it probes. Only this
    // thread rebuilds the list, so it cannot change while it is written.
    if (!scanner.enum_ports()) {
        trace(L"CDataServer::serve_request: a scan runs, the ports it probes listed");
    }
    write_int(answer, static_cast<std::int32_t>(scanner.ports.size()));
    for (const CPort& port : scanner.ports) {
        GPS::write_wstring(answer, port.name);
    }
}

void CDataServer::connect_request(GPS::istream& request, GPS::ostream& answer) {
    const auto parallel = read_value<std::int32_t>(request);
    if (request.failed()) {
        return write_int(answer, 0);
    }
    if (connect_last_used_port()) {
        PortAccess access(*this);
        write_int(answer, 1);
        GPS::write_wstring(answer, access.port().name);
        write_int(answer, static_cast<std::int32_t>(access.port().baud));
        return;
    }
    write_int(answer, 0);
    if (scanner.scanning()) {
        trace(L"CDataServer::serve_request: a scan runs already, none started");
    } else {
        scanner.nmea_mode = tarnwick::server::configured_nmea_mode();
        if (parallel != 0) {
            scanner.scan_ports_parallel(this);
        } else {
            scanner.scan_ports_sequential(this);
        }
    }
}

void CDataServer::connect_port_request(GPS::istream& request, GPS::ostream& answer) {
    bool usable = true;
    const GPS::owned_wstring name = read_string(request, usable);
    const auto baud = read_value<std::int32_t>(request);
    if (!usable || request.failed()) {
        write_int(answer, 0);
        return write_int(answer, static_cast<std::int32_t>(ERROR_INVALID_DATA));
    }
    // An empty name (a zero count reads as none) means the remembered port.
    if (try_setup_port(name.get(), baud)) {
        return write_int(answer, 1);
    }
    const DWORD error = GetLastError();
    write_int(answer, 0);
    write_int(answer, static_cast<std::int32_t>(error));
}

void CDataServer::disconnect_request(GPS::ostream& /*answer*/) {
    reconnection.stop();
    {
        PortAccess access(*this);
        access.take_out();
    }
    // A reader whose failure raced with the take-out may have started reconnecting meanwhile.
    reconnection.stop();
}

void CDataServer::input_mode_request(GPS::ostream& answer) {
    PortAccess access(*this);
    write_int(answer, static_cast<std::int32_t>(access.input_mode()));
}

void CDataServer::open_file_request(GPS::istream& request, GPS::ostream& answer) {
    bool usable = true;
    const GPS::owned_wstring path = read_string(request, usable);
    const auto loop = read_value<std::int32_t>(request);
    const auto speed = read_value<float>(request);
    if (!usable || request.failed()) {
        return write_int(answer, 0);
    }
    PortAccess access(*this);
    if (access.io() == nullptr) {
        access.port().nmea_mode = tarnwick::server::configured_nmea_mode();
    }
    const bool opened = access.port().open_file(or_empty(path), loop, speed);
    if (opened) {
        access.adopt_input();
    }
    write_int(answer, opened ? 1 : 0);
}

void CDataServer::open_memory_request(GPS::istream& request, GPS::ostream& answer) {
    bool usable = true;
    const GPS::owned_wstring name = read_string(request, usable);
    if (!usable) {
        return write_int(answer, 0);
    }
    PortAccess access(*this);
    if (access.io() == nullptr) {
        access.port().nmea_mode = tarnwick::server::configured_nmea_mode();
    }
    const bool opened = access.port().open_memory(or_empty(name));
    if (opened) {
        access.adopt_input();
    }
    write_int(answer, opened ? 1 : 0);
}

void CDataServer::start_write_request(GPS::istream& request, GPS::ostream& answer) {
    bool usable = true;
    const GPS::owned_wstring path = read_string(request, usable);
    if (!usable) {
        return write_int(answer, 0);
    }
    PortAccess access(*this);
    const bool started = access.io() != nullptr && access.io()->start_write(or_empty(path));
    write_int(answer, started ? 1 : 0);
}

void CDataServer::stop_write_request(GPS::ostream& answer) {
    PortAccess access(*this);
    if (access.io() == nullptr) {
        return write_int(answer, 0);
    }
    access.io()->stop_write();
    write_int(answer, 1);
}

void CDataServer::valid_rmc_request(GPS::ostream& answer) {
    CRMCRecord fix;
    valid_rmc.get_rmc(fix);
    if (fix.status != 'A') {
        return write_int(answer, 0);
    }
    write_int(answer, 1);
    fix.serialize(answer);
}

void CDataServer::restart_receiver_request(GPS::istream& request, GPS::ostream& answer) {
    const auto cold = read_value<std::int32_t>(request);
    if (!request.failed()) {
        PortAccess access(*this);
        if (access.io() != nullptr) {
            access.io()->restart_receiver(cold != 0);
        }
    }
    write_int(answer, 1);
}

void CDataServer::connection_request(GPS::ostream& answer) {
    PortAccess access(*this);
    // Only a serial input that is not recording tells its port.
    if (access.input_mode() != INPUT_SERIAL) {
        return write_int(answer, 0);
    }
    write_int(answer, 1);
    GPS::write_wstring(answer, access.port().name);
    write_int(answer, static_cast<std::int32_t>(access.port().baud));
}

void CDataServer::get_receiver_request(GPS::ostream& answer) {
    PortAccess access(*this);
    write_int(answer, access.io() != nullptr ? access.io()->get_receiver(nullptr) : 0);
}

void CDataServer::set_receiver_request(GPS::istream& request, GPS::ostream& answer) {
    const auto value = read_value<std::int32_t>(request);
    if (request.failed()) {
        return write_int(answer, 0);
    }
    PortAccess access(*this);
    write_int(answer, access.io() != nullptr ? access.io()->set_receiver(value) : 0);
}
