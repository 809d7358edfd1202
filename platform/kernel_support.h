#pragma once
// What a program built on the platform needs of the kernel, asked once at start-up so that a
// kernel lacking it is named in one clear line rather than in a silent failure later.
// docs/running.md lists the calls and the kernels that have them.

namespace tarnwick::platform {

// Null when every call the platform cannot do without answers (and TARNWICK_WAIT makes sense);
// else what is missing, as a phrase for a message. Also settles how waits on several objects sleep
// (futex.h: multi_wait()).
const char* missing_kernel_support() noexcept;

}  // namespace tarnwick::platform
