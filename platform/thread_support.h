#pragma once
// What the service's threads share: their stack reservation and the calling thread's id in the
// form the "thread = %p" traces take. Their handles are owned by GPS::unique_handle.

#include <cstdint>

#include "platform/win32.h"

namespace GPS {

// Every thread of the service reserves this much stack.
constexpr SIZE_T thread_stack_size = 65536;

inline void* current_thread_for_trace() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(GetCurrentThreadId()));
}

}  // namespace GPS
