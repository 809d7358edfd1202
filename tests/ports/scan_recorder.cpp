#include "tests/ports/scan_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/utf8.h"
#include "platform/namespace.h"
#include "platform/test_seams.h"
#include "platform/win32.h"
#include "protocol/scan_event.h"
#include "tests/support/test_support.h"

namespace tarnwick::test {

void PrintTo(const ScanEvent& event, std::ostream* out) {
    *out << tarnwick::to_utf8(scan_event_name(event.code)) << "(" << tarnwick::to_utf8(event.port)
         << ", " << event.value << ")";
}

ScanRecorder::ScanRecorder(Script script, const CPortScanner* scanner)
    : script_(std::move(script)), scanner_(scanner) {}

std::int32_t ScanRecorder::set(std::int32_t code, const wchar_t* port, std::int32_t value) {
    const ScanEvent event{code, port != nullptr ? port : L"", value};
    const std::int32_t answer = script_ ? script_(event) : Proceed;
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    if (code == EndScan) {
        if (scanner_ != nullptr) {
            for (const CPort& scanned : scanner_->ports) {
                rates_at_end_.emplace_back(
                    scanned.name, std::vector<std::int32_t>(std::begin(scanned.found_rates),
                                                            std::end(scanned.found_rates)));
            }
        }
        ended_.notify_all();
    }
    return answer;
}

std::vector<ScanEvent> ScanRecorder::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<ScanEvent> events_of(const std::vector<ScanEvent>& events, const std::wstring& port) {
    std::vector<ScanEvent> picked;
    for (const ScanEvent& event : events) {
        if (event.port == port) {
            picked.push_back(event);
        }
    }
    return picked;
}

bool ScanRecorder::wait_for_end(std::chrono::seconds timeout) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, timeout, [this] {
        return std::any_of(events_.begin(), events_.end(),
                           [](const ScanEvent& event) { return event.code == EndScan; });
    });
}

std::vector<std::pair<std::wstring, std::vector<std::int32_t>>> ScanRecorder::rates_at_end() const {
    std::lock_guard lock(mutex_);
    return rates_at_end_;
}

ScanRecorder::Script answer_at(std::int32_t code, const std::wstring& port, std::int32_t answer) {
    auto used = std::make_shared<std::once_flag>();
    return [=](const ScanEvent& event) {
        std::int32_t given = Proceed;
        if (event.code == code && event.port == port) {
            std::call_once(*used, [&] { given = answer; });
        }
        return given;
    };
}

void PortsNamespace::SetUp() {
    PrivateNamespace::SetUp();
    platform::testing::hide_discovered_devices();
}

void PortsNamespace::TearDown() {
    platform::testing::clear_seams();
    PrivateNamespace::TearDown();
}

void PortsNamespace::bind_missing(const std::wstring& name) {
    ASSERT_TRUE(platform::bind_port(name, (home() / "no-such-device").string()));
}

void PortsNamespace::bind_plain_file(const std::wstring& name) {
    const auto path = home() / ("plain-" + tarnwick::to_utf8(name.substr(0, 5)));
    write_file(path, "");
    ASSERT_TRUE(platform::bind_port(name, path.string()));
}

std::unique_ptr<SimProcess> PortsNamespace::start_receiver(const std::string& name, int baud) {
    auto sim = std::make_unique<SimProcess>(std::vector<std::string>{
        "serial", "--name", name, "--baud", std::to_string(baud), "--rate", "5"});
    if (!sim->first_line().starts_with(name + " ")) {
        ADD_FAILURE() << "the simulator did not bind " << name << ": " << sim->log();
        return nullptr;
    }
    return sim;
}

bool PortsNamespace::port_is_free(const wchar_t* name) {
    const HANDLE handle =
        CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(handle);
    return true;
}

}  // namespace tarnwick::test
