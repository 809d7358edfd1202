#pragma once
// ThreadSanitizer cannot see synchronisation that goes through futex system calls. The platform
// tells it explicitly: a signal (set, release, thread end) is a release on the object's address,
// a successful wait an acquire on the same address.

#if defined(__SANITIZE_THREAD__)
#define TARNWICK_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TARNWICK_TSAN 1
#endif
#endif

#if defined(TARNWICK_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace tarnwick::platform {

inline void tsan_release(const void* address) {
#if defined(TARNWICK_TSAN)
    __tsan_release(const_cast<void*>(address));
#else
    (void)address;
#endif
}

inline void tsan_acquire(const void* address) {
#if defined(TARNWICK_TSAN)
    __tsan_acquire(const_cast<void*>(address));
#else
    (void)address;
#endif
}

}  // namespace tarnwick::platform
