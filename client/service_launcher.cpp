#include "client/service_launcher.h"

#include <algorithm>
#include <string>
#include <thread>

#include "base/trace.h"
#include "base/utf8.h"
#include "client/detached_spawn.h"
#include "platform/win32.h"
#include "protocol/object_names.h"
#include "protocol/registry.h"

namespace tarnwick::client {
namespace {

enum class StartState { absent, starting, running };

// The start event is also the service's single-instance marker: holding it longer than a look
// would make a newly started service take itself for a second instance, so it is closed at once.
StartState start_state(DWORD wait_ms) {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, protocol::names::start_event);
    if (event == nullptr) {
        return StartState::absent;
    }
    const DWORD waited = WaitForSingleObject(event, wait_ms);
    CloseHandle(event);
    return waited == WAIT_OBJECT_0 ? StartState::running : StartState::starting;
}

std::wstring registered_program() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, protocol::registry::key, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return {};
    }
    wchar_t path[1024] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof path - sizeof(wchar_t);
    const LSTATUS status = RegQueryValueExW(key, protocol::registry::path_value, nullptr, &type,
                                            reinterpret_cast<LPBYTE>(path), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    return path;
}

// Waits for the start event to appear and be signalled. The event only exists while the
// service holds it, so there is nothing to wait on until it has been created: look again
// every few milliseconds until then.
bool wait_until_running(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        // In slices: a service that dies while starting must not be kept alive in name by
        // our handle to its start event.
        const StartState state =
            start_state(static_cast<DWORD>(std::min<long long>(left.count(), 100)));
        if (state == StartState::running) {
            return true;
        }
        if (state == StartState::absent) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

}  // namespace

bool service_running() {
    return start_state(0) == StartState::running;
}

ClientError ensure_service(bool may_start, std::chrono::milliseconds timeout) {
    const StartState state = start_state(0);
    if (state == StartState::running) {
        return ClientError::none;
    }
    if (!may_start) {
        return ClientError::service_not_running;
    }
    if (state == StartState::absent) {
        const std::wstring program = registered_program();
        if (program.empty()) {
            trace(L"tarnwick client: no \"path\" registered, cannot start the service");
            return ClientError::start_failed;
        }
        const int error = spawn_detached(tarnwick::to_utf8(program));
        if (error != 0) {
            trace(L"tarnwick client: cannot run %s (errno %d)", program.c_str(), error);
            return ClientError::start_failed;
        }
    }
    return wait_until_running(timeout) ? ClientError::none : ClientError::start_failed;
}

}  // namespace tarnwick::client
