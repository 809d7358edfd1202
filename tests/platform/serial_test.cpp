// Serial ports over pseudo-terminals: read time-outs, line speed, disappearing devices,
// exclusivity, purging, device enumeration and the GetCommState test seam.

#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

#include <chrono>
#include <thread>

#include "platform/namespace.h"
#include "platform/test_seams.h"
#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/pseudo_terminal.h"

namespace {

using Clock = std::chrono::steady_clock;
using tarnwick::test::PseudoTerminal;

constexpr DWORD kMax = 0xFFFFFFFF;
// Late by at most this much: the suite runs under sanitizers, two tests at a time on two cores,
// and a woken thread may wait that long for one. The implementation aims at ±10 ms; every time-out
// checked here differs from the wrong one by more than this.
constexpr long kToleranceMs = 150;

long elapsed_ms(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class SerialPorts : public tarnwick::test::PrivateNamespace {
  protected:
    void SetUp() override {
        PrivateNamespace::SetUp();
        ASSERT_TRUE(tarnwick::platform::bind_port(L"COM5:", pty_.slave_path()));
    }
    void TearDown() override {
        if (port_ != INVALID_HANDLE_VALUE) {
            CloseHandle(port_);
        }
        tarnwick::platform::testing::clear_seams();
        PrivateNamespace::TearDown();
    }
    HANDLE open_port() {
        port_ = CreateFileW(L"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
        EXPECT_NE(port_, INVALID_HANDLE_VALUE) << GetLastError();
        return port_;
    }
    void set_timeouts(COMMTIMEOUTS timeouts) { ASSERT_TRUE(SetCommTimeouts(port_, &timeouts)); }
    std::string master_receive(std::size_t at_most, int wait_ms = 1000) {
        pollfd entry{pty_.master(), POLLIN, 0};
        std::string bytes;
        while (bytes.size() < at_most && poll(&entry, 1, wait_ms) > 0) {
            char chunk[4096];
            ssize_t got =
                read(pty_.master(), chunk, std::min(sizeof chunk, at_most - bytes.size()));
            if (got <= 0) {
                break;
            }
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    PseudoTerminal pty_;
    HANDLE port_ = INVALID_HANDLE_VALUE;
};

struct ReadTimeoutCase {
    const char* name;
    COMMTIMEOUTS timeouts;
    DWORD request;
    const char* sent_first;  // sent before the read starts (nullptr: nothing)
    DWORD expected_bytes;
    long expected_ms;
};

const ReadTimeoutCase kReadTimeoutCases[] = {
    {"total constant, silent line", {0, 0, 200, 0, 0}, 100, nullptr, 0, 200},
    {"total multiplier and constant", {0, 10, 50, 0, 0}, 10, nullptr, 0, 150},
    {"interval ends a read once bytes arrived", {60, 0, 3000, 0, 0}, 100, "$GPRMC", 6, 60},
    {"interval does not start before the first byte", {30, 0, 250, 0, 0}, 100, nullptr, 0, 250},
    {"MAXDWORD interval returns at once", {kMax, 0, 0, 0, 0}, 100, "ab", 2, 0},
    {"MAXDWORD interval returns at once on silence", {kMax, 0, 0, 0, 0}, 100, nullptr, 0, 0},
    {"MAXDWORD interval and multiplier wait for a first byte",
     {kMax, kMax, 150, 0, 0},
     100,
     nullptr,
     0,
     150},
    {"full buffer returns before any time-out", {0, 0, 3000, 0, 0}, 4, "abcdef", 4, 0},
};

class ReadTimeouts : public SerialPorts, public ::testing::WithParamInterface<ReadTimeoutCase> {};

TEST_P(ReadTimeouts, AreHonoured) {
    const ReadTimeoutCase& c = GetParam();
    open_port();
    set_timeouts(c.timeouts);
    if (c.sent_first != nullptr) {
        pty_.send(c.sent_first);
        Sleep(30);  // let the bytes reach the slave's input queue
    }
    char buffer[128] = {};
    DWORD got = 99;
    auto start = Clock::now();
    ASSERT_TRUE(ReadFile(port_, buffer, c.request, &got, nullptr)) << GetLastError();
    long took = elapsed_ms(start);
    EXPECT_EQ(got, c.expected_bytes);
    EXPECT_GE(took, c.expected_ms - 2);
    EXPECT_LE(took, c.expected_ms + kToleranceMs);
}

INSTANTIATE_TEST_SUITE_P(Table, ReadTimeouts, ::testing::ValuesIn(kReadTimeoutCases),
                         [](const auto& param_info) {
                             std::string name = param_info.param.name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

TEST_F(SerialPorts, IntervalTimerRestartsWithEveryByte) {
    open_port();
    set_timeouts({150, 0, 5000, 0, 0});
    // Timed from before the first byte can be sent: the last byte then comes at least four
    // pauses later, and the interval after it adds its 150 ms, so the lower bound is exact.
    auto start = Clock::now();
    std::thread device([&] {
        for (char c : std::string("GPGGA")) {
            pty_.send(std::string(1, c));
            Sleep(30);
        }
    });
    char buffer[64];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
    long took = elapsed_ms(start);
    device.join();
    EXPECT_EQ(std::string(buffer, got), "GPGGA");
    EXPECT_GE(took, 4 * 30 + 150 - 2);
    EXPECT_LE(took, 4 * 30 + 150 + 2 * kToleranceMs);  // the sender's pauses jitter too
}

TEST_F(SerialPorts, LineSpeedIsSetThroughTermiosAndReadBack) {
    // What a simulator on the other side sees: the slave's termios. Opened before the port, which
    // then holds the line in exclusive mode.
    int slave = open(pty_.slave_path().c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    open_port();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(port_, &dcb));
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    for (DWORD rate : {4800u, 9600u, 19200u, 38400u, 57600u}) {
        dcb.BaudRate = rate;
        ASSERT_TRUE(SetCommState(port_, &dcb)) << rate;
        DCB read_back{};
        ASSERT_TRUE(GetCommState(port_, &read_back));
        EXPECT_EQ(read_back.BaudRate, rate);
        termios settings{};
        ASSERT_EQ(tcgetattr(slave, &settings), 0);
        EXPECT_EQ(cfgetospeed(&settings), rate == 4800    ? B4800
                                          : rate == 9600  ? B9600
                                          : rate == 19200 ? B19200
                                          : rate == 38400 ? B38400
                                                          : B57600);
    }
    dcb.BaudRate = 12345;
    EXPECT_FALSE(SetCommState(port_, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 9;
    EXPECT_FALSE(SetCommState(port_, &dcb));
    close(slave);
}

TEST_F(SerialPorts, ClosedPseudoTerminalFailsABlockedRead) {
    open_port();
    set_timeouts({0, 0, 10000, 0, 0});
    pty_.send("$GP");
    std::thread device([&] {
        Sleep(150);
        pty_.close_master();
    });
    char buffer[64];
    DWORD got = 0;
    auto start = Clock::now();
    BOOL first = ReadFile(port_, buffer, sizeof buffer, &got, nullptr);
    // The bytes sent before the hang-up may come first, then the failure.
    if (first && got > 0) {
        first = ReadFile(port_, buffer, sizeof buffer, &got, nullptr);
    }
    long took = elapsed_ms(start);
    device.join();
    EXPECT_FALSE(first);
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_LT(took, 2000) << "no waiting for the 10 s time-out";
    EXPECT_FALSE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(SerialPorts, WritesReachTheDeviceAndHonourTheWriteTimeOut) {
    open_port();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port_, "$PSRF101*00\r\n", 13, &written, nullptr));
    EXPECT_EQ(written, 13u);
    EXPECT_EQ(master_receive(13), "$PSRF101*00\r\n");
    set_timeouts({0, 0, 0, 0, 150});
    std::string flood(1 << 20, 'x');  // far more than the pseudo-terminal buffers
    auto start = Clock::now();
    ASSERT_TRUE(
        WriteFile(port_, flood.data(), static_cast<DWORD>(flood.size()), &written, nullptr));
    long took = elapsed_ms(start);
    EXPECT_LT(written, flood.size());
    EXPECT_GE(took, 148);
    EXPECT_LE(took, 150 + kToleranceMs);
}

TEST_F(SerialPorts, PortsAreExclusiveAndUnknownNamesFail) {
    open_port();
    EXPECT_EQ(
        CreateFileW(L"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(CreateFileW(L"COM250:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
    open_port();
}

TEST_F(SerialPorts, PurgeDiscardsInputAndAbortsAPendingRead) {
    open_port();
    pty_.send("stale bytes");
    Sleep(50);
    ASSERT_TRUE(PurgeComm(port_, PURGE_RXCLEAR | PURGE_TXCLEAR));
    set_timeouts({kMax, 0, 0, 0, 0});
    char buffer[64];
    DWORD got = 99;
    ASSERT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);

    set_timeouts({0, 0, 10000, 0, 0});
    std::thread purger([&] {
        Sleep(100);
        PurgeComm(port_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    });
    auto start = Clock::now();
    EXPECT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
    purger.join();
    EXPECT_EQ(got, 0u);
    EXPECT_LT(elapsed_ms(start), 2000);
    EXPECT_FALSE(PurgeComm(port_, 0x100));
}

TEST_F(SerialPorts, AReadAbortBetweenReadsEndsTheNextReadOnly) {
    open_port();
    set_timeouts({0, 0, 10000, 0, 0});
    ASSERT_TRUE(PurgeComm(port_, PURGE_RXABORT));  // a reader thread about to read must stop
    char buffer[8];
    DWORD got = 99;
    auto start = Clock::now();
    EXPECT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_LT(elapsed_ms(start), 1000);
    set_timeouts({0, 0, 100, 0, 0});
    start = Clock::now();
    EXPECT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
    EXPECT_GE(elapsed_ms(start), 98) << "the abort was used up";
}

TEST_F(SerialPorts, GetCommStateSeamFailsTheNextCallsOnly) {
    open_port();
    tarnwick::platform::testing::fail_get_comm_state(L"COM5", 2, ERROR_NOT_READY);
    DCB dcb{};
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(GetCommState(port_, &dcb));
        EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    }
    EXPECT_TRUE(GetCommState(port_, &dcb));
    tarnwick::platform::testing::fail_get_comm_state(port_, 1, ERROR_GEN_FAILURE);
    EXPECT_FALSE(GetCommState(port_, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_TRUE(GetCommState(port_, &dcb));
}

TEST_F(SerialPorts, EnumDevicesFollowsTheBufferProtocol) {
    ASSERT_TRUE(tarnwick::platform::bind_port(L"COM2:", "/dev/null-device"));
    DWORD length = 0;
    EXPECT_EQ(EnumDevices(nullptr, &length), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_GE(length, 13u);
    std::wstring small(3, L'?');
    DWORD small_length = 3;
    EXPECT_EQ(EnumDevices(small.data(), &small_length), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small_length, length);
    std::wstring list(length, L'?');
    EXPECT_EQ(EnumDevices(list.data(), &length), ERROR_SUCCESS);
    EXPECT_EQ(list.back(), L'\0');
    EXPECT_EQ(list[length - 2], L'\0') << "the list ends with an empty name";
    std::vector<std::wstring> names;
    for (std::size_t at = 0; at < list.size() && list[at] != L'\0';) {
        names.emplace_back(list.c_str() + at);
        at += names.back().size() + 1;
    }
    EXPECT_NE(std::find(names.begin(), names.end(), L"COM2:"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), L"COM5:"), names.end());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const auto& a, const auto& b) {
        return std::stoi(a.substr(3)) < std::stoi(b.substr(3));
    }));
}

TEST_F(SerialPorts, ClosingThePortEndsAReadInAnotherThread) {
    open_port();
    set_timeouts({0, 0, 10000, 0, 0});
    HANDLE port = port_;
    std::thread closer([&] {
        Sleep(100);
        CloseHandle(port);
    });
    char buffer[8];
    DWORD got = 0;
    auto start = Clock::now();
    ReadFile(port, buffer, sizeof buffer, &got, nullptr);
    EXPECT_LT(elapsed_ms(start), 2000);
    closer.join();
    port_ = INVALID_HANDLE_VALUE;
}

// Line reads (EV_RXFLAG in the comm mask, the reader's setting): one wake-up per line, every
// byte as it was sent.
class LineReads : public SerialPorts {
  protected:
    void open_for_lines(DWORD total_ms = 2000) {
        open_port();
        set_timeouts({kMax, kMax, total_ms, 0, 0});
        ASSERT_TRUE(SetCommMask(port_, EV_RXFLAG)) << GetLastError();
    }
    std::string read_once() {
        char buffer[4096];
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr)) << GetLastError();
        return std::string(buffer, got);
    }
};

TEST_F(LineReads, EveryByteButTheLineFeedPassesUnchanged) {
    open_for_lines();
    DWORD mask = 0;
    ASSERT_TRUE(GetCommMask(port_, &mask));
    EXPECT_EQ(mask, EV_RXFLAG);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port_, &dcb));
    EXPECT_EQ(dcb.EvtChar, '\n');
    // NUL, ^C, ^D, ^U, ^W, CR, DEL and every byte from 0x80 up, each special somewhere in a
    // terminal's canonical mode.
    std::string line;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\n') {
            line.push_back(static_cast<char>(byte));
        }
    }
    line += "\r\n";
    pty_.send(line);
    std::string got;
    while (got.size() < line.size()) {
        const std::string more = read_once();
        ASSERT_FALSE(more.empty()) << "only " << got.size() << " bytes came";
        got += more;
    }
    EXPECT_EQ(got, line);
    EXPECT_EQ(master_receive(1, 100), "") << "nothing is echoed";
}

TEST_F(LineReads, AReadWaitsForTheLineEndAndTakesEveryFinishedLine) {
    open_for_lines();
    const std::string first = "$GPGGA,1,2,3*00\r\n";
    const std::string second = "$GPGSA,4*00\r\n";
    auto start = Clock::now();
    std::thread device([&] {
        // UART-sized pieces: a read that returned at each would see them one by one.
        for (std::size_t at = 0; at < first.size(); at += 5) {
            pty_.send(first.substr(at, 5));
            Sleep(30);
        }
        pty_.send(second + "$GPV");
    });
    const std::string got = read_once();
    const long took = elapsed_ms(start);
    device.join();
    EXPECT_TRUE(got == first || got == first + second) << got;
    EXPECT_GE(took, 3 * 30 - 2);
    std::string rest = got.substr(first.size());
    if (rest.empty()) {
        rest = read_once();
    }
    EXPECT_EQ(rest, second) << "the unfinished line stays until its LF or the wait's end";
}

TEST_F(LineReads, AnUnfinishedLineComesWhenTheWaitEndsAndTheStreamStaysWhole) {
    open_for_lines(300);
    pty_.send("$GPRMC,12");
    auto start = Clock::now();
    EXPECT_EQ(read_once(), "$GPRMC,12");
    const long took = elapsed_ms(start);
    EXPECT_GE(took, 300 - 2);
    EXPECT_LE(took, 300 + kToleranceMs);
    pty_.send("34*00\r\n$GP");
    start = Clock::now();
    EXPECT_EQ(read_once(), "34*00\r\n");
    EXPECT_LE(elapsed_ms(start), kToleranceMs);
    EXPECT_EQ(read_once(), "$GP");

    // Without EV_RXFLAG reads return as soon as bytes arrive again.
    ASSERT_TRUE(SetCommMask(port_, 0));
    pty_.send("ab");
    Sleep(30);
    start = Clock::now();
    EXPECT_EQ(read_once(), "ab");
    EXPECT_LE(elapsed_ms(start), kToleranceMs);
}

// The wait for a line hears a hang-up once; every read after it must still fail at once, not
// wait out its time-out.
TEST_F(LineReads, AHangUpFailsThisReadAndEveryLaterOneAtOnce) {
    open_for_lines(10000);
    pty_.send("$GPGSA,4*00\r\n$GP");
    EXPECT_EQ(read_once(), "$GPGSA,4*00\r\n");
    std::thread device([&] {
        Sleep(150);
        pty_.close_master();
    });
    char buffer[64];
    DWORD got = 0;
    auto start = Clock::now();
    EXPECT_FALSE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    device.join();
    for (int again = 0; again < 2; ++again) {
        EXPECT_FALSE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    }
    EXPECT_LT(elapsed_ms(start), 2000) << "no waiting for the 10 s time-out";
}

// A line that never ends (noise, a receiver heard at the wrong rate) must not fill the kernel's
// 4096-byte line buffer, where bytes would be lost: at a fast rate its bytes are taken long
// before the read's 3 s wait ends.
TEST_F(LineReads, ALongRunWithoutLineFeedLosesNothing) {
    open_for_lines(3000);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.BaudRate = 230400;  // 2048 bytes of the line buffer in 89 ms
    ASSERT_TRUE(SetCommState(port_, &dcb)) << GetLastError();
    std::string sent;
    for (int i = 0; i < 12; ++i) {
        std::string chunk(1000, static_cast<char>('a' + i));
        chunk[500] = '\r';
        sent += chunk;
    }
    const std::string last = "\r\n$GPEND*00\r\n";
    std::thread device([&] {
        for (std::size_t at = 0; at < sent.size(); at += 1000) {
            pty_.send(sent.substr(at, 1000));
            Sleep(100);
        }
        pty_.send(last);
    });
    std::string got;
    auto start = Clock::now();
    while (got.size() < sent.size() + last.size() && elapsed_ms(start) < 10000) {
        got += read_once();
    }
    device.join();
    EXPECT_EQ(got, sent + last);
}

}  // namespace
