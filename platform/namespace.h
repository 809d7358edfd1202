#pragma once
// The namespace the platform's named objects, registry, port map and stored files live in: a
// directory chosen by TARNWICK_HOME (Linux-only extension used by tools, tests and the fix
// store; docs/platform.md describes every file).

#include <filesystem>
#include <string>

namespace tarnwick::platform {

// $TARNWICK_HOME, else $XDG_STATE_HOME/tarnwick, else ~/.local/state/tarnwick; created with
// mode 0700 when missing. Read from the environment on every call.
std::filesystem::path home_directory();
// home/"state": the stored fix files; created 0700.
std::filesystem::path state_directory();
// home/"objects": one file per named event, mutex and mapping. Made, when missing, a link to a
// private directory (0700) on a memory file system ($XDG_RUNTIME_DIR, else /dev/shm), so that
// object files never wear flash storage and vanish on a reboot as the objects themselves do;
// a plain directory where there is none. A link whose directory is gone (after a reboot) is
// made again. Several processes doing so at once agree on one directory.
std::filesystem::path objects_directory();
// Removes a namespace's home and the objects directory its link points to. For tests and tools
// that made a home of their own.
void remove_namespace(const std::filesystem::path& home) noexcept;
// The registry file in home.
std::filesystem::path registry_path();
// The port map file in home.
std::filesystem::path port_map_path();

// Binds a "COMn:" name to a device path in the port map (replacing an earlier binding of the
// name). False, with the last error set, on a malformed name or a failed write. A process that
// keeps the device open by design and shares it (a simulator holding its pseudo-terminal's
// slave) names itself as `kept_open_by`, so that it does not make the port busy.
bool bind_port(const std::wstring& com_name, const std::filesystem::path& device,
               int kept_open_by = 0);
// Removes the binding of a name; false when it was not bound or the write failed.
bool unbind_port(const std::wstring& com_name);
// The first "COMn:" (n from 1) that is neither bound in the port map nor given to a
// discovered serial device.
std::wstring first_free_port_name();

}  // namespace tarnwick::platform
