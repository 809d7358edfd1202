// Enumerating the ports and scanning them in parallel or one after another, with ports that
// fail at once (missing devices, plain files) so that every step is quick.

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/namespace.h"
#include "platform/win32.h"
#include "ports/port_scanner.h"
#include "protocol/scan_event.h"
#include "tests/ports/scan_recorder.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

enum class Kind { Parallel, Sequential };

const char* kind_name(Kind kind) {
    return kind == Kind::Parallel ? "parallel" : "sequential";
}

class PortScannerTest : public PortsNamespace {
  protected:
    // Runs a whole scan of `kind` and returns what the listener saw.
    static std::vector<ScanEvent> run_scan(CPortScanner& scanner, Kind kind,
                                           ScanRecorder::Script script = nullptr) {
        ScanRecorder recorder(std::move(script));
        if (kind == Kind::Parallel) {
            EXPECT_TRUE(scanner.scan_ports_parallel(&recorder));
        } else {
            EXPECT_NE(scanner.scan_ports_sequential(&recorder), nullptr);
        }
        EXPECT_TRUE(recorder.wait_for_end(60s));
        scanner.stop();
        EXPECT_FALSE(scanner.scanning());
        EXPECT_EQ(scanner.listener.load(), nullptr);
        return recorder.events();
    }
};

std::vector<std::wstring> names_of(const CPortScanner& scanner) {
    std::vector<std::wstring> names;
    for (const CPort& port : scanner.ports) {
        names.emplace_back(port.name);
    }
    return names;
}

TEST_F(PortScannerTest, EnumeratesTheBoundPortsInNumberOrder) {
    bind_missing(L"COM12:");
    bind_plain_file(L"COM3:");
    bind_missing(L"COM1:");
    CPortScanner scanner;
    ASSERT_TRUE(scanner.enum_ports());
    const std::vector<std::wstring> expected{L"COM1:", L"COM3:", L"COM12"};
    EXPECT_EQ(names_of(scanner), expected);
    for (const CPort& port : scanner.ports) {
        EXPECT_FALSE(port.io);
        EXPECT_EQ(port.found_rate_count(), 0);
        EXPECT_EQ(port.owner.load(), nullptr);
    }
    ASSERT_TRUE(scanner.enum_ports());
    EXPECT_EQ(names_of(scanner), expected) << "the order is stable";

    ASSERT_TRUE(platform::unbind_port(L"COM3:"));
    ASSERT_TRUE(scanner.enum_ports());
    EXPECT_EQ(names_of(scanner), (std::vector<std::wstring>{L"COM1:", L"COM12"}));
}

TEST_F(PortScannerTest, AScanWithoutPortsOnlyStartsAndEnds) {
    for (const Kind kind : {Kind::Parallel, Kind::Sequential}) {
        SCOPED_TRACE(kind_name(kind));
        CPortScanner scanner;
        EXPECT_EQ(run_scan(scanner, kind),
                  (std::vector<ScanEvent>{{StartScan, L"", 0}, {EndScan, L"", 0}}));
        EXPECT_TRUE(scanner.ports.empty());
    }
}

TEST_F(PortScannerTest, APortThatCannotOpenIsReportedOnceAndEndsWithNothingFound) {
    bind_missing(L"COM2:");
    for (const Kind kind : {Kind::Parallel, Kind::Sequential}) {
        SCOPED_TRACE(kind_name(kind));
        CPortScanner scanner;
        EXPECT_EQ(run_scan(scanner, kind), (std::vector<ScanEvent>{{StartScan, L"", 0},
                                                                   {StartPortScan, L"COM2:", 0},
                                                                   {CreateFileFailed, L"COM2:", 0},
                                                                   {EndPortScan, L"COM2:", 0},
                                                                   {EndScan, L"", 0}}));
    }
}

TEST_F(PortScannerTest, ASequentialScanFollowsTheAnswers) {
    bind_missing(L"COM1:");
    bind_missing(L"COM2:");
    const ScanEvent start{StartScan, L"", 0}, end{EndScan, L"", 0};
    const ScanEvent start1{StartPortScan, L"COM1:", 0}, start2{StartPortScan, L"COM2:", 0};
    const ScanEvent failed1{CreateFileFailed, L"COM1:", 0}, failed2{CreateFileFailed, L"COM2:", 0};
    const ScanEvent end1{EndPortScan, L"COM1:", 0}, end2{EndPortScan, L"COM2:", 0};
    struct Case {
        const char* what;
        ScanRecorder::Script script;
        std::vector<ScanEvent> expected;
    };
    const Case cases[] = {
        {"Proceed", nullptr, {start, start1, failed1, end1, start2, failed2, end2, end}},
        {"Skip at StartPortScan leaves the port out",
         answer_at(StartPortScan, L"COM1:", Skip),
         {start, start1, start2, failed2, end2, end}},
        {"Stop at StartPortScan ends the scan",
         answer_at(StartPortScan, L"COM1:", Stop),
         {start, start1, end}},
        {"Stop at EndPortScan ends the scan",
         answer_at(EndPortScan, L"COM1:", Stop),
         {start, start1, failed1, end1, end}},
        {"Skip at EndPortScan is not looked at",
         answer_at(EndPortScan, L"COM1:", Skip),
         {start, start1, failed1, end1, start2, failed2, end2, end}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPortScanner scanner;
        EXPECT_EQ(run_scan(scanner, Kind::Sequential, c.script), c.expected);
    }
}

TEST_F(PortScannerTest, AParallelPortAnsweredSkipOrStopEndsAtOnceAlone) {
    bind_missing(L"COM1:");
    bind_missing(L"COM2:");
    for (const std::int32_t answer : {Skip, Stop}) {
        SCOPED_TRACE(answer == Skip ? "Skip" : "Stop");
        CPortScanner scanner;
        ScanRecorder recorder(answer_at(StartPortScan, L"COM1:", answer));
        ASSERT_TRUE(scanner.scan_ports_parallel(&recorder));
        ASSERT_TRUE(recorder.wait_for_end(60s));
        scanner.stop();
        const auto events = recorder.events();
        EXPECT_EQ(events.front(), (ScanEvent{StartScan, L"", 0}));
        EXPECT_EQ(events.back(), (ScanEvent{EndScan, L"", 0}));
        EXPECT_EQ(events_of(events, L"COM1:"),
                  (std::vector<ScanEvent>{{StartPortScan, L"COM1:", 0}}));
        EXPECT_EQ(events_of(events, L"COM2:"),
                  (std::vector<ScanEvent>{{StartPortScan, L"COM2:", 0},
                                          {CreateFileFailed, L"COM2:", 0},
                                          {EndPortScan, L"COM2:", 0}}));
        EXPECT_EQ(scanner.ports[1].owner.load(), nullptr);
    }
}

// Holds the scan thread that reports `code` until released.
class Gate {
  public:
    explicit Gate(std::int32_t code) : code_(code), released_future_(released_.get_future()) {}
    ScanRecorder::Script script() {
        return [this](const ScanEvent& event) -> std::int32_t {
            if (event.code == code_) {
                reached_.set_value();
                released_future_.wait();
            }
            return Proceed;
        };
    }
    bool reached() { return reached_.get_future().wait_for(30s) == std::future_status::ready; }
    void release() { released_.set_value(); }

  private:
    std::int32_t code_;
    std::promise<void> reached_;
    std::promise<void> released_;
    std::shared_future<void> released_future_;
};

TEST_F(PortScannerTest, StopDetachesTheRunningPortsButStillEndsTheScan) {
    bind_plain_file(L"COM1:");
    CPortScanner scanner;
    Gate gate(StartPortScan);
    ScanRecorder recorder(gate.script());
    ASSERT_TRUE(scanner.scan_ports_parallel(&recorder));
    ASSERT_TRUE(gate.reached());

    auto stopped = std::async(std::launch::async, [&] { scanner.stop(); });
    while (scanner.ports[0].owner.load() != nullptr) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(stopped.wait_for(100ms), std::future_status::timeout)
        << "stop waits for the port thread";
    gate.release();
    stopped.get();

    EXPECT_EQ(recorder.events(),
              (std::vector<ScanEvent>{
                  {StartScan, L"", 0}, {StartPortScan, L"COM1:", 0}, {EndScan, L"", 0}}));
    EXPECT_EQ(scanner.ports[0].scan_thread, nullptr);
    EXPECT_TRUE(port_is_free(L"COM1:")) << "the port probed nothing more and ends closed";
}

TEST_F(PortScannerTest, WhileAScanRunsEnumerationAndNewScansAreRefused) {
    bind_missing(L"COM1:");
    for (const Kind kind : {Kind::Parallel, Kind::Sequential}) {
        SCOPED_TRACE(kind_name(kind));
        CPortScanner scanner;
        Gate gate(StartPortScan);
        ScanRecorder running(gate.script());
        if (kind == Kind::Parallel) {
            ASSERT_TRUE(scanner.scan_ports_parallel(&running));
        } else {
            ASSERT_NE(scanner.scan_ports_sequential(&running), nullptr);
        }
        ASSERT_TRUE(gate.reached());
        ASSERT_TRUE(scanner.scanning());

        ScanRecorder refused;
        EXPECT_FALSE(scanner.enum_ports());
        EXPECT_FALSE(scanner.scan_ports_parallel(&refused));
        EXPECT_EQ(scanner.scan_ports_sequential(&refused), nullptr);
        EXPECT_EQ(scanner.ports.size(), 1u);
        EXPECT_EQ(scanner.listener.load(), &running);

        gate.release();
        ASSERT_TRUE(running.wait_for_end(60s));
        scanner.stop();
        EXPECT_TRUE(refused.events().empty());
        EXPECT_FALSE(scanner.scanning());
        EXPECT_TRUE(scanner.enum_ports());
    }
}

TEST_F(PortScannerTest, AParallelScanProbesMorePortsThanOneWaitWatches) {
    constexpr int port_count = 20;
    static_assert(port_count > static_cast<int>(CPortScanner::watched_threads));
    for (int number = 1; number <= port_count; ++number) {
        bind_plain_file(L"COM" + std::to_wstring(number) + L":");
    }
    CPortScanner scanner;
    const auto events = run_scan(scanner, Kind::Parallel);
    ASSERT_EQ(scanner.ports.size(), static_cast<std::size_t>(port_count));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), (ScanEvent{StartScan, L"", 0}));
    EXPECT_EQ(events.back(), (ScanEvent{EndScan, L"", 0}));
    for (const CPort& port : scanner.ports) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(port.name)));
        const auto of_port = events_of(events, port.name);
        ASSERT_EQ(of_port.size(), 2u + 4u * CPort::rate_slots);
        EXPECT_EQ(of_port.front(), (ScanEvent{StartPortScan, port.name, 0}));
        EXPECT_EQ(of_port.back(), (ScanEvent{EndPortScan, port.name, 0}));
        EXPECT_EQ(port.scan_thread, nullptr);
        EXPECT_EQ(port.owner.load(), nullptr);
    }
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const ScanEvent& event) { return event.code == EndScan; }),
              1);
}

}  // namespace
}  // namespace tarnwick::test
