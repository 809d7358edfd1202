#pragma once
// A counter in shared memory that waiters can sleep on beside the handles of a
// WaitForMultipleObjects: the sound replacement for pulsing an event. A pulse reaches only the
// threads already asleep, so a waiter that looked just before it and sleeps just after it misses
// it. A counter cannot be missed: the waiter passes the value it last saw, and the wait ends at
// once when the counter has moved on since. A Linux extension of the platform layer.

#include <cstdint>

#include "platform/futex.h"
#include "platform/win32.h"

namespace tarnwick::platform {

// The word of a counter: 4 bytes aligned to 4, in memory shared by every process that uses it
// (a mapping), zero to start.
using SharedCounter = FutexWord;

// The counter at `address`, which must be 4-byte aligned inside a shared mapping.
SharedCounter& shared_counter_at(void* address) noexcept;

// The counter's current value.
std::uint32_t counter_value(const SharedCounter& counter) noexcept;

// Adds one to the counter and wakes every waiter on it, in every process.
void advance_counter(SharedCounter& counter) noexcept;

// As WaitForMultipleObjects (wait-any, `count` handles, possibly none) and ending also when
// `counter` no longer holds `seen`: then the result is WAIT_OBJECT_0 + count. The handles come
// first: a signalled handle wins over a counter that moved.
DWORD wait_for_objects_or_counter(DWORD count, const HANDLE* handles, SharedCounter& counter,
                                  std::uint32_t seen, DWORD milliseconds);

}  // namespace tarnwick::platform
