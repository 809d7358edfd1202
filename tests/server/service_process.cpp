#include "tests/server/service_process.h"

#include <thread>

#include "platform/win32.h"
#include "tests/tools/tool_runner.h"

namespace tarnwick::test {

std::filesystem::path service_program() {
    return built_program("server/tarnwickd");
}

bool start_event_exists() {
    const HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"TARNWICK_START");
    if (event == nullptr) {
        return false;
    }
    CloseHandle(event);
    return true;
}

namespace {

// The service under a shell that puts its standard error where its standard output goes, the
// pipe the test reads. Without tracing: traces nobody reads would fill the pipe and stall it.
std::vector<std::string> with_errors_kept(const std::vector<std::string>& args) {
    std::vector<std::string> words = {"-c", "unset TARNWICK_DEBUG; exec \"$0\" \"$@\" 2>&1",
                                      service_program().string()};
    words.insert(words.end(), args.begin(), args.end());
    return words;
}

}  // namespace

ServiceProcess::ServiceProcess(const std::vector<std::string>& args, Errors errors)
    : process_(errors == Errors::kept ? std::filesystem::path("/bin/sh") : service_program(),
               errors == Errors::kept ? with_errors_kept(args) : args) {}

bool ServiceProcess::wait_ready(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"TARNWICK_START");
        if (event != nullptr) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            const bool ready =
                WaitForSingleObject(event, static_cast<DWORD>(std::max<long>(left.count(), 0))) ==
                WAIT_OBJECT_0;
            // Held open, the event would outlive the service and stand for a running instance.
            CloseHandle(event);
            return ready;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace tarnwick::test
