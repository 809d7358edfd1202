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

ServiceProcess::ServiceProcess(const std::vector<std::string>& args)
    : process_(service_program(), args) {}

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
