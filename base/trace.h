#pragma once
// The diagnostic hook every subsystem reports through.
//
// The format follows the wide-character conventions of the service's messages: %s is a wide
// string, %S a narrow one, %d/%u/%x integers, %I64d a 64-bit integer, %p a pointer or thread id,
// %f/%.2f reals, %c a character. It does nothing unless the environment variable TARNWICK_DEBUG
// is "1"; then each message goes to standard error with a timestamp and the calling thread's id.
// No behaviour of the service depends on it.

namespace tarnwick {
// True when tracing is switched on for this process (read once from the environment).
bool trace_enabled() noexcept;
}  // namespace tarnwick

const wchar_t* trace(const wchar_t* format, ...) noexcept;
