#pragma once
// What the ports tests need around a scan: a listener that records every event and answers
// from a script, a namespace holding only the ports a test binds, and ports of three kinds —
// a simulated receiver, a device that does not exist, and a plain file (it opens, but is no
// serial line, so every probe of it fails at once).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "ports/port_scanner.h"
#include "ports/scan_listener.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {

struct ScanEvent {
    std::int32_t code;
    std::wstring port;
    std::int32_t value;
    bool operator==(const ScanEvent&) const = default;
};
void PrintTo(const ScanEvent& event, std::ostream* out);
// The events of one port, in order.
std::vector<ScanEvent> events_of(const std::vector<ScanEvent>& events, const std::wstring& port);

class ScanRecorder : public CScanListener {
  public:
    using Script = std::function<std::int32_t(const ScanEvent&)>;
    // Answers every event with what `script` returns (Proceed when there is none). When a
    // scanner is given, the found rates of its ports are copied when EndScan arrives.
    explicit ScanRecorder(Script script = nullptr, const CPortScanner* scanner = nullptr);

    std::int32_t set(std::int32_t code, const wchar_t* port, std::int32_t value) override;

    std::vector<ScanEvent> events() const;
    // Waits until EndScan has arrived; false when it did not within the time.
    bool wait_for_end(std::chrono::seconds timeout = std::chrono::seconds(120));
    // Per port name, the found rates read at EndScan.
    std::vector<std::pair<std::wstring, std::vector<std::int32_t>>> rates_at_end() const;

  private:
    Script script_;
    const CPortScanner* scanner_;
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    std::vector<ScanEvent> events_;
    std::vector<std::pair<std::wstring, std::vector<std::int32_t>>> rates_at_end_;
};

// A script answering `answer` to the first event with this code and port (any value when
// value is not given) and Proceed otherwise.
ScanRecorder::Script answer_at(std::int32_t code, const std::wstring& port, std::int32_t answer);

// A private namespace whose port table holds only the ports the test binds.
class PortsNamespace : public PrivateNamespace {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Binds `name` to a path that does not exist.
    void bind_missing(const std::wstring& name);
    // Binds `name` to a fresh plain file.
    void bind_plain_file(const std::wstring& name);
    // Starts a simulated receiver at `baud` on `name` ("COM3:", 5 epochs a second); null when it
    // did not come up (the test has failed then).
    std::unique_ptr<SimProcess> start_receiver(const std::string& name, int baud);
    // True when nobody holds the port: it opens exclusively.
    static bool port_is_free(const wchar_t* name);
};

}  // namespace tarnwick::test
