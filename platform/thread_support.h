#pragma once
// What the service's threads share: their stack reservation, the calling thread's id in the form
// the "thread = %p" traces take, and the closing of the handles their owners keep.

#include <cstdint>

#include "platform/win32.h"

namespace GPS {

// Every thread of the service reserves this much stack.
constexpr SIZE_T thread_stack_size = 65536;

inline void* current_thread_for_trace() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(GetCurrentThreadId()));
}

// Closes a handle that may never have been created, and forgets it.
inline void close_if_set(HANDLE& handle) noexcept {
    if (handle != nullptr) {
        CloseHandle(handle);
        handle = nullptr;
    }
}

}  // namespace GPS
