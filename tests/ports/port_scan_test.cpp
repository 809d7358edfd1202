// One port probed at every rate of the table, with the listener's answers steering it.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/namespace.h"
#include "platform/port_map.h"
#include "ports/port.h"
#include "ports/port_scanner.h"
#include "protocol/scan_event.h"
#include "tests/platform/pseudo_terminal.h"
#include "tests/ports/scan_recorder.h"
#include "tests/support/tty_holder.h"

namespace tarnwick::test {
namespace {

class PortScanTest : public PortsNamespace {
  protected:
    // Scans the port `name` with its events going to a recorder that answers from `script`.
    std::vector<ScanEvent> scan(CPort& port, const wchar_t* name,
                                ScanRecorder::Script script = nullptr) {
        ScanRecorder recorder(std::move(script));
        CPortScanner scanner;
        scanner.listener = &recorder;
        port.set_name(name);
        port.owner = &scanner;
        port.scan_port();
        port.owner = nullptr;
        scanner.listener = nullptr;
        return recorder.events();
    }
};

// What a plain file gives for one rate: it opens, but its line settings cannot be read.
std::vector<ScanEvent> failed_probe(const std::wstring& port, std::int32_t rate) {
    return {{StartTryBaudRate, port, rate},
            {SetupPort, port, rate},
            {GetCommStateFailed, port, rate},
            {EndTryBaudRate, port, -rate}};
}

TEST_F(PortScanTest, TriesEveryRateInOrderAndReportsFailuresNegated) {
    bind_plain_file(L"COM4:");
    CPort port;
    std::vector<ScanEvent> expected;
    for (const std::int32_t rate : CPort::baud_rates) {
        const auto probe = failed_probe(L"COM4:", rate);
        expected.insert(expected.end(), probe.begin(), probe.end());
    }
    EXPECT_EQ(scan(port, L"COM4:"), expected);
    EXPECT_EQ(std::vector<std::int32_t>(std::begin(port.found_rates), std::end(port.found_rates)),
              std::vector<std::int32_t>(5, 0));
    EXPECT_TRUE(port_is_free(L"COM4:"));
}

// A device that talks at every speed: a pseudo-terminal's master fed a sentence every 20 ms, as
// no real line would (its speed means nothing to a pseudo-terminal).
class EverySpeedDevice {
  public:
    EverySpeedDevice() {
        fcntl(line_.master(), F_SETFL, fcntl(line_.master(), F_GETFL) | O_NONBLOCK);
        feeder_ = std::thread([this] {
            static const char sentence[] =
                "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
            while (!stop_) {
                // A full buffer while no reader has the line open only drops sentences.
                [[maybe_unused]] const ssize_t n =
                    write(line_.master(), sentence, sizeof sentence - 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~EverySpeedDevice() {
        stop_ = true;
        feeder_.join();
    }
    const std::string& device() const { return line_.slave_path(); }

  private:
    PseudoTerminal line_;
    std::atomic<bool> stop_{false};
    std::thread feeder_;
};

TEST_F(PortScanTest, WithTheGnssSettingTheFasterRatesFollowAndOnlyFiveFoundAreRecorded) {
    {
        SCOPED_TRACE("every rate fails");
        bind_plain_file(L"COM4:");
        CPort port;
        port.nmea_mode = NMEAMode::gnss;
        std::vector<ScanEvent> expected;
        for (const std::int32_t rate : {4800, 9600, 19200, 38400, 57600, 115200, 230400}) {
            const auto probe = failed_probe(L"COM4:", rate);
            expected.insert(expected.end(), probe.begin(), probe.end());
        }
        EXPECT_EQ(scan(port, L"COM4:"), expected);
        EXPECT_EQ(port.found_rate_count(), 0);
    }
    {
        SCOPED_TRACE("every rate answers");
        const EverySpeedDevice talker;
        ASSERT_TRUE(platform::bind_port(L"COM7:", talker.device()));
        CPort port;
        port.nmea_mode = NMEAMode::gnss;
        std::vector<std::int32_t> answered;
        for (const ScanEvent& event : scan(port, L"COM7:")) {
            if (event.code == EndTryBaudRate) {
                answered.push_back(event.value);
            }
        }
        // The sixth and seventh rates are probed and reported, but the record holds five.
        EXPECT_EQ(answered,
                  (std::vector<std::int32_t>{4800, 9600, 19200, 38400, 57600, 115200, 230400}));
        EXPECT_EQ(
            std::vector<std::int32_t>(std::begin(port.found_rates), std::end(port.found_rates)),
            (std::vector<std::int32_t>{4800, 9600, 19200, 38400, 57600}));
        EXPECT_FALSE(port.io);
        EXPECT_TRUE(port_is_free(L"COM7:"));
    }
}

TEST_F(PortScanTest, APortThatCannotOpenEndsAtOnce) {
    bind_missing(L"COM2:");
    CPort port;
    EXPECT_EQ(scan(port, L"COM2:"), (std::vector<ScanEvent>{{CreateFileFailed, L"COM2:", 0}}));
}

TEST_F(PortScanTest, AnswersSkipAndStopTheRatesOfAPortThatFails) {
    bind_plain_file(L"COM4:");
    struct Case {
        const char* what;
        ScanRecorder::Script script;
        std::vector<ScanEvent> expected;
    };
    auto skip_4800_stop_9600 = [](const ScanEvent& event) -> std::int32_t {
        if (event.code != StartTryBaudRate) {
            return Proceed;
        }
        return event.value == 4800 ? Skip : event.value == 9600 ? Stop : Proceed;
    };
    const Case cases[] = {
        {"Skip, then Stop at StartTryBaudRate",
         skip_4800_stop_9600,
         {{StartTryBaudRate, L"COM4:", 4800}, {StartTryBaudRate, L"COM4:", 9600}}},
        {"Stop at EndTryBaudRate", answer_at(EndTryBaudRate, L"COM4:", Stop),
         failed_probe(L"COM4:", 4800)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPort port;
        EXPECT_EQ(scan(port, L"COM4:", c.script), c.expected);
        EXPECT_EQ(port.found_rate_count(), 0);
        EXPECT_FALSE(port.io);
        EXPECT_TRUE(port_is_free(L"COM4:")) << "the skipped or stopped rate's handle is closed";
    }
}

TEST_F(PortScanTest, AnswersSkipAndStopTheRatesOfAReceiver) {
    auto receiver = start_receiver("COM3:", 4800);
    ASSERT_NE(receiver, nullptr);
    {
        SCOPED_TRACE("Stop after the rate that answered keeps the port open");
        CPort port;
        EXPECT_EQ(scan(port, L"COM3:", answer_at(EndTryBaudRate, L"COM3:", Stop)),
                  (std::vector<ScanEvent>{{StartTryBaudRate, L"COM3:", 4800},
                                          {SetupPort, L"COM3:", 4800},
                                          {EndTryBaudRate, L"COM3:", 4800}}));
        EXPECT_EQ(port.found_rates[0], 4800);
        EXPECT_EQ(port.found_rate_count(), 1);
        ASSERT_TRUE(port.io);
        EXPECT_FALSE(port_is_free(L"COM3:"));
    }
    {
        SCOPED_TRACE("Stop before the next rate closes the reused handle");
        CPort port;
        auto stop_at_9600 = [](const ScanEvent& event) -> std::int32_t {
            return event.code == StartTryBaudRate && event.value == 9600 ? Stop : Proceed;
        };
        EXPECT_EQ(scan(port, L"COM3:", stop_at_9600),
                  (std::vector<ScanEvent>{{StartTryBaudRate, L"COM3:", 4800},
                                          {SetupPort, L"COM3:", 4800},
                                          {EndTryBaudRate, L"COM3:", 4800},
                                          {StartTryBaudRate, L"COM3:", 9600}}));
        EXPECT_EQ(
            std::vector<std::int32_t>(std::begin(port.found_rates), std::end(port.found_rates)),
            (std::vector<std::int32_t>{4800, 0, 0, 0, 0}));
        EXPECT_FALSE(port.io);
        EXPECT_TRUE(port_is_free(L"COM3:"));
    }
}

TEST_F(PortScanTest, APortAnotherProgramHoldsFailsToOpenWithItsSettingsUntouched) {
    const PseudoTerminal line;
    ASSERT_TRUE(platform::bind_port(L"COM6:", line.slave_path()));
    const TtyHolder holder(line.slave_path());
    const termios before = line_settings(line.slave_path());
    CPort port;
    EXPECT_EQ(scan(port, L"COM6:"), (std::vector<ScanEvent>{{CreateFileFailed, L"COM6:", 0}}));
    EXPECT_TRUE(same_settings(line_settings(line.slave_path()), before));
}

TEST_F(PortScanTest, APortProbedOrUsedGetsItsSettingsBackWhenClosed) {
    auto receiver = start_receiver("COM3:", 9600);
    ASSERT_NE(receiver, nullptr);
    const std::string device = platform::read_port_map().at(3).device;
    const termios before = line_settings(device);
    ASSERT_NE(cfgetospeed(&before), B9600) << "probing at 9600 changes the line's speed";
    {
        SCOPED_TRACE("a scan that gave the port up after one rate failed and one answered");
        CPort port;
        auto stop_at_19200 = [](const ScanEvent& event) -> std::int32_t {
            return event.code == StartTryBaudRate && event.value == 19200 ? Stop : Proceed;
        };
        scan(port, L"COM3:", stop_at_19200);
        EXPECT_EQ(port.found_rates[0], 9600);
        EXPECT_TRUE(same_settings(line_settings(device), before));
    }
    {
        SCOPED_TRACE("the port as the input, then released");
        CPort port;
        ASSERT_TRUE(port.try_connect(L"COM3:", 9600, 8, 0, 0));
        port.release_io();
        EXPECT_TRUE(same_settings(line_settings(device), before));
    }
}

}  // namespace
}  // namespace tarnwick::test
