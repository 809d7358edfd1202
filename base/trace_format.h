#pragma once
#include <cstdarg>
#include <string>

namespace tarnwick {
// Formats a message with the trace hook's wide conventions (%s wide, %S narrow) into UTF-8.
std::string format_trace_message(const wchar_t* format, va_list args);
}  // namespace tarnwick
