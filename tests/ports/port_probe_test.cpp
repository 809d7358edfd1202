// Probing one port at one rate and connecting to it, against simulated receivers, missing
// devices and plain files bound in a private namespace.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/port_map.h"
#include "platform/test_seams.h"
#include "platform/win32.h"
#include "ports/port.h"
#include "ports/port_scanner.h"
#include "protocol/scan_event.h"
#include "tests/ports/scan_recorder.h"

namespace tarnwick::test {
namespace {

namespace seams = platform::testing;

// A port whose events reach a recorder, as during a scan.
struct WatchedPort {
    WatchedPort() {
        scanner.listener = &recorder;
        port.owner = &scanner;
    }
    ~WatchedPort() { scanner.listener = nullptr; }

    ScanRecorder recorder;
    CPortScanner scanner;
    CPort port;
};

class PortProbeTest : public PortsNamespace {};

TEST_F(PortProbeTest, TryConnectOpensThePortOnceWithARunningReader) {
    auto receiver = start_receiver("COM3:", 4800);
    ASSERT_NE(receiver, nullptr);
    CPort port;
    ASSERT_TRUE(port.try_connect(L"COM3:", 4800, 8, 0, 0));
    ASSERT_TRUE(port.io);
    EXPECT_EQ(port.io->input_mode.load(), INPUT_SERIAL);
    EXPECT_STREQ(port.name, L"COM3:");
    EXPECT_EQ(port.baud, 4800u);
    EXPECT_FALSE(port_is_free(L"COM3:"));

    CNMEAIO* const reader = port.io.get();
    EXPECT_FALSE(port.try_connect(L"COM3:", 4800, 8, 0, 0)) << "the port is in use";
    EXPECT_EQ(port.io.get(), reader);

    CPort other;
    EXPECT_FALSE(other.try_connect(L"COM3:", 4800, 8, 0, 0)) << "the port is held exclusively";
    EXPECT_FALSE(other.io);
    EXPECT_STREQ(other.name, L"");

    port.release_io();
    EXPECT_EQ(port.baud, 0u);
    EXPECT_TRUE(port_is_free(L"COM3:"));
}

TEST_F(PortProbeTest, TryConnectKeepsTheFirstFiveCharactersOfTheName) {
    auto receiver = start_receiver("COM12:", 4800);
    ASSERT_NE(receiver, nullptr);
    CPort port;
    ASSERT_TRUE(port.try_connect(L"COM12:", 4800, 8, 0, 0));
    EXPECT_STREQ(port.name, L"COM12");
}

TEST_F(PortProbeTest, TryConnectToAPortThatCannotOpenFails) {
    bind_missing(L"COM2:");
    for (const wchar_t* name : {L"COM2:", L"COM9:", L""}) {
        CPort port;
        EXPECT_FALSE(port.try_connect(name, 4800, 8, 0, 0)) << name;
        EXPECT_FALSE(port.io);
        EXPECT_STREQ(port.name, L"");
    }
}

TEST_F(PortProbeTest, SetsTheLineSpeedOnlyWhenTheDriverRunsAtAnotherRate) {
    auto receiver = start_receiver("COM3:", 4800);
    ASSERT_NE(receiver, nullptr);
    // A port we close gets back the settings it had, so the line is put at 4800 from outside.
    const int line = open(tarnwick::platform::read_port_map().at(3).device.c_str(),
                          O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(line, 0);
    termios settings{};
    ASSERT_EQ(tcgetattr(line, &settings), 0);
    cfsetspeed(&settings, B4800);
    ASSERT_EQ(tcsetattr(line, TCSANOW, &settings), 0);
    close(line);
    struct Case {
        std::int32_t rate;
        unsigned set_calls;
        bool connects;
    };
    for (const Case& c : {Case{4800, 0, true}, Case{9600, 1, false}}) {
        SCOPED_TRACE(c.rate);
        seams::count_set_comm_state(L"COM3:");
        CPort port;
        EXPECT_EQ(port.try_connect(L"COM3:", c.rate, 8, 0, 0), c.connects);
        EXPECT_EQ(seams::set_comm_state_calls(L"COM3:"), c.set_calls);
    }
}

TEST_F(PortProbeTest, GetCommStateRetriesOnlyWhileTheDriverIsNotReady) {
    auto receiver = start_receiver("COM3:", 4800);
    ASSERT_NE(receiver, nullptr);
    struct Case {
        const char* what;
        unsigned failures;
        DWORD error;
        bool answers;
        unsigned failures_left;  // armed failures the probe did not use
    };
    const Case cases[] = {
        {"19 times not ready, then ready", 19, ERROR_NOT_READY, true, 0},
        {"never ready within 20 attempts", 21, ERROR_NOT_READY, false, 1},
        {"another error: one attempt", 2, ERROR_ACCESS_DENIED, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WatchedPort watched;
        seams::fail_get_comm_state(L"COM3:", c.failures, c.error);
        watched.port.try_baud_rate(CPort::create_file(L"COM3:"), 4800, 8, 0, 0);
        const DWORD last_error = GetLastError();
        EXPECT_EQ(watched.port.io != nullptr, c.answers);
        std::vector<ScanEvent> expected{{SetupPort, L"", 4800}};
        if (!c.answers) {
            expected.push_back({GetCommStateFailed, L"", 4800});
            EXPECT_EQ(last_error, c.error);
            EXPECT_EQ(watched.port.baud, 0u) << "a failed step leaves the rate alone";
        }
        EXPECT_EQ(watched.recorder.events(), expected);
        watched.port.release_io();
        ASSERT_TRUE(port_is_free(L"COM3:")) << "every failure closes the port";

        const HANDLE handle = CPort::create_file(L"COM3:");
        DCB dcb{};
        for (unsigned left = c.failures_left; left > 0; --left) {
            EXPECT_FALSE(GetCommState(handle, &dcb));
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_TRUE(GetCommState(handle, &dcb));
        CloseHandle(handle);
        seams::clear_seams();
        seams::hide_discovered_devices();
    }
}

TEST_F(PortProbeTest, AProbeThatFailsSendsOneFailureEventAndClosesThePort) {
    bind_plain_file(L"COM4:");
    auto receiver = start_receiver("COM3:", 4800);
    ASSERT_NE(receiver, nullptr);
    struct Case {
        const wchar_t* port;
        std::int32_t rate;
        ScanEventCode failure;
        DWORD baud_after;  // the rate is kept once the reader was tried
        DWORD error;       // what the caller (ConnectPort) is told
    };
    // A plain file opens but is no serial line; a receiver heard at the wrong speed sends noise
    // that never decodes, so the reader's start times out.
    for (const Case& c : {Case{L"COM4:", 4800, GetCommStateFailed, 0, ERROR_INVALID_HANDLE},
                          Case{L"COM3:", 9600, StartInputFailed, 9600, ERROR_TIMEOUT}}) {
        SCOPED_TRACE(scan_event_name(c.failure));
        WatchedPort watched;
        SetLastError(ERROR_SUCCESS);
        watched.port.try_baud_rate(CPort::create_file(c.port), c.rate, 8, 0, 0);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_FALSE(watched.port.io);
        EXPECT_EQ(watched.port.baud, c.baud_after);
        EXPECT_EQ(watched.recorder.events(),
                  (std::vector<ScanEvent>{{SetupPort, L"", c.rate}, {c.failure, L"", c.rate}}));
        EXPECT_TRUE(port_is_free(c.port));
    }
}

TEST_F(PortProbeTest, WhatArrivedAtTheOldSpeedDoesNotAnswerForTheNewOne) {
    auto receiver = start_receiver("COM3:", 38400);
    ASSERT_NE(receiver, nullptr);
    {
        CPort heard;  // leaves the line at 38400, where the receiver's sentences keep queueing
        ASSERT_TRUE(heard.try_connect(L"COM3:", 38400, 8, 0, 0));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    WatchedPort watched;
    watched.port.try_baud_rate(CPort::create_file(L"COM3:"), 4800, 8, 0, 0);
    EXPECT_FALSE(watched.port.io);
    EXPECT_EQ(watched.recorder.events(),
              (std::vector<ScanEvent>{{SetupPort, L"", 4800}, {StartInputFailed, L"", 4800}}));
}

TEST_F(PortProbeTest, AnInvalidHandleIsReportedAndLeftAlone) {
    WatchedPort watched;
    watched.port.baud = 9600;
    watched.port.try_baud_rate(INVALID_HANDLE_VALUE, 4800, 8, 0, 0);
    EXPECT_EQ(watched.recorder.events(), (std::vector<ScanEvent>{{InvalideHandle, L"", 0}}));
    EXPECT_FALSE(watched.port.io);
    EXPECT_EQ(watched.port.baud, 9600u);
}

}  // namespace
}  // namespace tarnwick::test
