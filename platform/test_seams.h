#pragma once
// Hooks for tests of the code above the platform, to provoke failures real hardware produces
// but pseudo-terminals do not. Nothing changes unless a test arms one.

#include <filesystem>
#include <string>

#include "platform/win32.h"

namespace tarnwick::platform::testing {

// The next `times` GetCommState calls on ports opened by `port_name` ("COM3:"; "COM3" and
// other spellings of the same port count too), or on `port`, fail with `error` (for example
// ERROR_NOT_READY). A later call for the same port replaces the count.
void fail_get_comm_state(const std::wstring& port_name, unsigned times, DWORD error);
void fail_get_comm_state(HANDLE port, unsigned times, DWORD error);
// Counts the SetCommState calls on ports opened by `port_name` (any spelling) from now on,
// starting again at 0; set_comm_state_calls tells how many there were.
void count_set_comm_state(const std::wstring& port_name);
unsigned set_comm_state_calls(const std::wstring& port_name);
// Leaves the machine's own serial devices out of the port table (EnumDevices, CreateFileW), so
// that a test sees only the ports it bound in the port map and never touches real hardware.
void hide_discovered_devices();
// Takes `dir` in place of /dev/shm where a new objects directory may go (an empty path: no such
// place), so that a test sees the choice without depending on the machine's /dev/shm.
void replace_dev_shm(const std::filesystem::path& dir);
// Disarms every seam.
void clear_seams();

}  // namespace tarnwick::platform::testing

namespace tarnwick::platform {
// For the platform itself: consumes one armed failure for this port, if any.
bool take_get_comm_state_failure(HANDLE port, const std::wstring& port_name, DWORD& error);
// For the platform itself: counts a SetCommState call where a test asked for it.
void note_set_comm_state(const std::wstring& port_name);
// For the platform itself: true when a test hid the discovered serial devices.
bool discovered_devices_hidden();
// For the platform itself: /dev/shm, or what a test put in its place.
std::filesystem::path dev_shm_directory();
}  // namespace tarnwick::platform
