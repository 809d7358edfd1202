#pragma once
// Helpers for the per-thread last-error code that every platform call reports through.

#include "platform/win32.h"

namespace tarnwick::platform {

// The Win32 error that best describes a POSIX errno value.
DWORD error_from_errno(int posix_error) noexcept;

// Records `error` as the thread's last error and returns `result`, so that a failing call can
// end with `return fail(ERROR_..., FALSE);`.
template <typename T>
T fail(DWORD error, T result) noexcept {
    SetLastError(error);
    return result;
}

// Records the current errno (translated) as the last error and returns `result`.
template <typename T>
T fail_errno(T result) noexcept;

}  // namespace tarnwick::platform

#include <cerrno>

template <typename T>
T tarnwick::platform::fail_errno(T result) noexcept {
    SetLastError(error_from_errno(errno));
    return result;
}
