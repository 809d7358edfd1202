#pragma once
// Hooks for tests of the code above the platform, to provoke failures real hardware produces
// but pseudo-terminals do not. Nothing changes unless a test arms one.

#include <string>

#include "platform/win32.h"

namespace tarnwick::platform::testing {

// The next `times` GetCommState calls on ports opened by `port_name` ("COM3:"; "COM3" and
// other spellings of the same port count too), or on `port`, fail with `error` (for example
// ERROR_NOT_READY). A later call for the same port replaces the count.
void fail_get_comm_state(const std::wstring& port_name, unsigned times, DWORD error);
void fail_get_comm_state(HANDLE port, unsigned times, DWORD error);
// Disarms every seam.
void clear_seams();

}  // namespace tarnwick::platform::testing

namespace tarnwick::platform {
// For the platform itself: consumes one armed failure for this port, if any.
bool take_get_comm_state_failure(HANDLE port, const std::wstring& port_name, DWORD& error);
}  // namespace tarnwick::platform
