#include "base/trace.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "base/trace_format.h"

namespace tarnwick {

bool trace_enabled() noexcept {
    static const bool enabled = [] {
        const char* value = std::getenv("TARNWICK_DEBUG");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

}  // namespace tarnwick

const wchar_t* trace(const wchar_t* format, ...) noexcept {
    if (!tarnwick::trace_enabled() || format == nullptr) {
        return format;
    }
    try {
        va_list args;
        va_start(args, format);
        std::string message = tarnwick::format_trace_message(format, args);
        va_end(args);

        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        tm utc{};
        gmtime_r(&now.tv_sec, &utc);
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "%02d:%02d:%02d.%06ld [%ld] ", utc.tm_hour, utc.tm_min,
                      utc.tm_sec, now.tv_nsec / 1000, static_cast<long>(syscall(SYS_gettid)));
        std::string line = prefix + message;
        if (line.empty() || line.back() != '\n') {
            line.push_back('\n');
        }
        // One write per message, so that lines of concurrent threads never interleave.
        [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
    } catch (...) {
        // Diagnostics must never disturb the service.
    }
    return format;
}
