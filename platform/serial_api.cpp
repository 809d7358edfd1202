// CreateFileW (COMn: ports through the port map, other paths directly), ReadFile, WriteFile
// and the comm calls.

#include <fcntl.h>
#include <unistd.h>

#include "base/trace.h"
#include "base/utf8.h"
#include "platform/last_error.h"
#include "platform/port_map.h"
#include "platform/port_names.h"
#include "platform/serial_port.h"
#include "platform/test_seams.h"

using namespace tarnwick::platform;
using tarnwick::to_utf8;

namespace {

std::shared_ptr<SerialPort> port_of(HANDLE handle) {
    return lookup_as<SerialPort>(handle);
}

// What ReadFile and WriteFile share: the count reported is 0 unless `move` moved bytes, and the
// arguments are checked before the file is touched.
template <typename Move>
BOOL transfer(HANDLE handle, const void* buffer, DWORD size, LPDWORD count, LPOVERLAPPED overlapped,
              Move move) {
    if (count != nullptr) {
        *count = 0;
    }
    auto file = lookup_as<File>(handle);
    if (!file) {
        return FALSE;
    }
    if (overlapped != nullptr || (buffer == nullptr && size > 0)) {
        return fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    DWORD done = 0;
    const bool ok = move(*file, done);
    if (count != nullptr) {
        *count = done;
    }
    return ok ? TRUE : FALSE;
}

}  // namespace

HANDLE CreateFileW(LPCWSTR path, DWORD desired_access, DWORD share_mode, LPSECURITY_ATTRIBUTES,
                   DWORD creation_disposition, DWORD, HANDLE) {
    if (path == nullptr) {
        return fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    }
    OpenRequest request{to_utf8(path), desired_access, share_mode, creation_disposition, 0};
    auto number = com_port_number(path);
    pid_t keeper = 0;
    if (number) {
        PortTable ports = current_ports();
        auto bound = ports.find(*number);
        if (bound == ports.end()) {
            return fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        }
        request.path = bound->second.device;
        keeper = bound->second.kept_open_by;
        request.creation_disposition = OPEN_EXISTING;
    }
    request.extra_flags = O_NOCTTY | O_NONBLOCK;
    int fd = open_for_request(request);
    if (fd < 0) {
        return INVALID_HANDLE_VALUE;  // a device in exclusive mode fails with EBUSY: 32 too
    }
    DWORD open_result = GetLastError();
    bool writable = (desired_access & GENERIC_WRITE) != 0;
    std::shared_ptr<File> file;
    if (isatty(fd)) {
        SerialClaim claim;
        if (!claim.take(fd, request.path, share_mode == 0, keeper)) {
            close(fd);
            return INVALID_HANDLE_VALUE;
        }
        file = std::make_shared<SerialPort>(fd, writable, path, std::move(claim));
    } else {
        // Ordinary files block as usual.
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        file = std::make_shared<File>(fd, writable, path);
    }
    HANDLE handle = insert_handle(std::move(file));
    if (handle == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    trace(L"platform: CreateFileW(%s) opened %S", path, request.path.c_str());
    SetLastError(open_result);
    return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read,
              LPOVERLAPPED overlapped) {
    return transfer(
        handle, buffer, bytes_to_read, bytes_read, overlapped,
        [&](File& file, DWORD& done) { return file.read(buffer, bytes_to_read, done); });
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written,
               LPOVERLAPPED overlapped) {
    return transfer(handle, buffer, bytes_to_write, bytes_written, overlapped,
                    [&](File& file, DWORD& done) {
                        if (!file.writable()) {
                            return fail(ERROR_ACCESS_DENIED, false);
                        }
                        return file.write(buffer, bytes_to_write, done);
                    });
}

BOOL GetCommState(HANDLE handle, LPDCB dcb) {
    auto port = port_of(handle);
    if (!port) {
        return FALSE;
    }
    if (dcb == nullptr) {
        return fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    DWORD injected = 0;
    if (take_get_comm_state_failure(handle, port->name(), injected)) {
        return fail(injected, FALSE);
    }
    return port->get_state(*dcb) ? TRUE : FALSE;
}

BOOL SetCommState(HANDLE handle, LPDCB dcb) {
    auto port = port_of(handle);
    if (!port) {
        return FALSE;
    }
    if (dcb == nullptr) {
        return fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    note_set_comm_state(port->name());
    return port->set_state(*dcb) ? TRUE : FALSE;
}

BOOL GetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
    auto port = port_of(handle);
    if (!port || timeouts == nullptr) {
        return port ? fail(ERROR_INVALID_PARAMETER, FALSE) : FALSE;
    }
    *timeouts = port->timeouts();
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
    auto port = port_of(handle);
    if (!port || timeouts == nullptr) {
        return port ? fail(ERROR_INVALID_PARAMETER, FALSE) : FALSE;
    }
    port->set_timeouts(*timeouts);
    return TRUE;
}

BOOL SetCommMask(HANDLE handle, DWORD mask) {
    auto port = port_of(handle);
    if (!port) {
        return FALSE;
    }
    return port->set_event_mask(mask) ? TRUE : FALSE;
}

BOOL GetCommMask(HANDLE handle, LPDWORD mask) {
    auto port = port_of(handle);
    if (!port || mask == nullptr) {
        return port ? fail(ERROR_INVALID_PARAMETER, FALSE) : FALSE;
    }
    *mask = port->event_mask();
    return TRUE;
}

BOOL PurgeComm(HANDLE handle, DWORD flags) {
    auto port = port_of(handle);
    if (!port) {
        return FALSE;
    }
    return port->purge(flags) ? TRUE : FALSE;
}
