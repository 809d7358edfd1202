#pragma once
// What the reader's threads share: their stack reservation, and the calling thread's id in the
// form the "thread = %p" traces take.

#include <cstdint>

#include "platform/win32.h"

namespace GPS {

constexpr SIZE_T io_thread_stack_size = 65536;

inline void* current_thread_for_trace() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(GetCurrentThreadId()));
}

}  // namespace GPS
