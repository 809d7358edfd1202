// Whole scans of ports where simulated receivers talk, each at its own rate: every rate of
// every port is probed, so each case takes about as long as five probes of a port (some 25 s).

#include <gtest/gtest.h>

#include <vector>

#include "ports/port_scanner.h"
#include "protocol/scan_event.h"
#include "tests/ports/scan_recorder.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;
using Rates = std::vector<std::int32_t>;

class ScanWithReceiversTest : public PortsNamespace {};

// The values of a port's EndTryBaudRate events: the rate when it answered, negated otherwise.
Rates probe_results(const std::vector<ScanEvent>& events, const std::wstring& port) {
    Rates results;
    for (const ScanEvent& event : events_of(events, port)) {
        if (event.code == EndTryBaudRate) {
            results.push_back(event.value);
        }
    }
    return results;
}

TEST_F(ScanWithReceiversTest, AParallelScanFindsEachReceiverAtItsRate) {
    auto slow = start_receiver("COM1:", 4800);
    auto fast = start_receiver("COM2:", 38400);
    ASSERT_TRUE(slow && fast);
    CPortScanner scanner;
    ScanRecorder recorder(nullptr, &scanner);
    ASSERT_TRUE(scanner.scan_ports_parallel(&recorder));
    ASSERT_TRUE(recorder.wait_for_end(100s));
    scanner.stop();

    EXPECT_EQ(recorder.rates_at_end(),
              (std::vector<std::pair<std::wstring, Rates>>{{L"COM1:", {4800, 0, 0, 0, 0}},
                                                           {L"COM2:", {38400, 0, 0, 0, 0}}}));
    const auto events = recorder.events();
    EXPECT_EQ(events.front(), (ScanEvent{StartScan, L"", 0}));
    EXPECT_EQ(events.back(), (ScanEvent{EndScan, L"", 0}));
    EXPECT_EQ(probe_results(events, L"COM1:"), (Rates{4800, -9600, -19200, -38400, -57600}));
    EXPECT_EQ(probe_results(events, L"COM2:"), (Rates{-4800, -9600, -19200, 38400, -57600}));
    for (const wchar_t* port : {L"COM1:", L"COM2:"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(port)));
        const auto of_port = events_of(events, port);
        EXPECT_EQ(of_port.front(), (ScanEvent{StartPortScan, port, 0}));
        EXPECT_EQ(of_port.back(), (ScanEvent{EndPortScan, port, 1}));
        EXPECT_TRUE(port_is_free(port)) << "every port ends closed";
    }
    for (const CPort& port : scanner.ports) {
        EXPECT_FALSE(port.io);
    }
}

TEST_F(ScanWithReceiversTest, ASequentialScanReportsEveryStepInOrder) {
    auto receiver = start_receiver("COM1:", 4800);
    ASSERT_NE(receiver, nullptr);
    CPortScanner scanner;
    ScanRecorder recorder(nullptr, &scanner);
    ASSERT_NE(scanner.scan_ports_sequential(&recorder), nullptr);
    ASSERT_TRUE(recorder.wait_for_end(100s));
    scanner.stop();

    // At a wrong speed the receiver's bytes are noise: the one-byte read succeeds and the
    // reader decodes nothing.
    std::vector<ScanEvent> expected{{StartScan, L"", 0}, {StartPortScan, L"COM1:", 0}};
    for (const std::int32_t rate : CPort::baud_rates) {
        const bool answers = rate == 4800;
        expected.push_back({StartTryBaudRate, L"COM1:", rate});
        expected.push_back({SetupPort, L"COM1:", rate});
        if (!answers) {
            expected.push_back({StartInputFailed, L"COM1:", rate});
        }
        expected.push_back({EndTryBaudRate, L"COM1:", answers ? rate : -rate});
    }
    expected.push_back({EndPortScan, L"COM1:", 0});
    expected.push_back({EndScan, L"", 0});
    EXPECT_EQ(recorder.events(), expected);
    EXPECT_EQ(recorder.rates_at_end(),
              (std::vector<std::pair<std::wstring, Rates>>{{L"COM1:", {4800, 0, 0, 0, 0}}}));
    EXPECT_TRUE(port_is_free(L"COM1:"));
}

}  // namespace
}  // namespace tarnwick::test
