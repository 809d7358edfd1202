// tarnwick-sim serial as the service meets it: a real simulator process, its pseudo-terminal
// opened through the port map by COMn: name with the platform's serial calls.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/utf8.h"
#include "nmea/encoder.h"
#include "platform/namespace.h"
#include "platform/port_map.h"
#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/tools/decoded_stream.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// MAXDWORD: with it as interval and multiplier, a read waits for a first byte up to the constant.
constexpr DWORD max_dword = 0xFFFFFFFF;

// The service's side of the line: a port opened by name at a line speed.
class Port {
  public:
    Port(const wchar_t* name, DWORD baud) {
        handle_ =
            CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        COMMTIMEOUTS timeouts{max_dword, max_dword, 100, 0, 1000};
        opened_ = handle_ != INVALID_HANDLE_VALUE && GetCommState(handle_, &dcb) &&
                  (dcb.BaudRate = baud, SetCommState(handle_, &dcb)) &&
                  SetCommTimeouts(handle_, &timeouts);
        discard_input();
    }
    ~Port() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool opened() const { return opened_; }
    void discard_input() {
        if (opened_) {
            PurgeComm(handle_, PURGE_RXCLEAR);
        }
    }
    // Everything that arrives for `span`; a failed read ends it early and is kept in error().
    std::string read_for(Clock::duration span) {
        std::string bytes;
        for (const auto end = Clock::now() + span; Clock::now() < end;) {
            char chunk[1024];
            DWORD got = 0;
            if (!ReadFile(handle_, chunk, sizeof chunk, &got, nullptr)) {
                error_ = GetLastError();
                break;
            }
            bytes.append(chunk, got);
        }
        return bytes;
    }
    // Reads and decodes until `done` holds or `span` passes.
    template <class Done>
    bool decode_until(DecodedStream& stream, Done done, Clock::duration span = 5s) {
        for (const auto end = Clock::now() + span; !done() && Clock::now() < end;) {
            stream.feed(read_for(100ms));
        }
        return done();
    }
    void send(const std::string& sentence) {
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(handle_, sentence.data(), static_cast<DWORD>(sentence.size()),
                              &written, nullptr));
        ASSERT_EQ(written, sentence.size());
    }
    DWORD error() const { return error_; }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool opened_ = false;
    DWORD error_ = 0;
};

std::string command(const char* payload) {
    char text[CNMEAEncoder::work_buffer_size];
    const unsigned length = CNMEAEncoder().encode_sentence(text, sizeof text, payload);
    return std::string(text, length);
}

std::string restart_command(int reset_configuration) {
    SiRFParams params;
    params.s[6] = 12;
    params.s[7] = reset_configuration;
    char text[CNMEAEncoder::work_buffer_size];
    const unsigned length = CNMEAEncoder().encode_sirf(text, sizeof text, 101, params);
    return std::string(text, length);
}

bool bound(unsigned number) {
    return platform::read_port_map().count(number) != 0;
}

class SimSerialTest : public PrivateNamespace {};

TEST_F(SimSerialTest, BindsItsPortUntilItEnds) {
    struct Case {
        const char* how;
        int signal;  // 0: --duration ends it
        int exit;
        bool binding_left;  // a simulator killed outright cannot clean up
    };
    for (const Case& c :
         {Case{"SIGINT", SIGINT, 0, false}, Case{"SIGTERM", SIGTERM, 0, false},
          Case{"duration", 0, 0, false}, Case{"SIGKILL", SIGKILL, -SIGKILL, true}}) {
        SCOPED_TRACE(c.how);
        SimProcess sim(c.signal != 0 ? std::vector<std::string>{"serial", "--name", "COM7:"}
                                     : std::vector<std::string>{"serial", "--name", "com7",
                                                                "--duration", "1"});
        const std::string line = sim.first_line();
        ASSERT_TRUE(line.starts_with("COM7: /dev/pts/")) << line;
        if (c.signal != 0) {
            EXPECT_EQ(platform::read_port_map().at(7).device, line.substr(6));
            EXPECT_EQ(platform::read_port_map().at(7).kept_open_by, sim.pid())
                << "the simulator keeps its slave open, and says so";
            sim.signal(c.signal);
        }
        EXPECT_EQ(sim.wait(), c.exit) << sim.log();
        EXPECT_EQ(bound(7), c.binding_left);
    }
}

TEST_F(SimSerialTest, TakesTheFirstFreeNameByDefault) {
    ASSERT_TRUE(platform::bind_port(L"COM1:", "/dev/null"));
    const std::string expected = tarnwick::to_utf8(platform::first_free_port_name());
    SimProcess sim({"serial"});
    EXPECT_TRUE(sim.first_line().starts_with(expected + " /dev/pts/"));
}

TEST_F(SimSerialTest, TalksNmeaOnlyAtItsOwnSpeed) {
    struct Case {
        const char* sim_baud;
        DWORD port_baud;
        bool decodes;
    };
    for (const Case& c : {Case{"4800", 4800, true}, Case{"4800", 9600, false},
                          Case{"38400", 4800, false}, Case{"38400", 38400, true}}) {
        SCOPED_TRACE(std::string(c.sim_baud) + " heard at " + std::to_string(c.port_baud));
        SimProcess sim({"serial", "--name", "COM3:", "--baud", c.sim_baud, "--rate", "5"});
        ASSERT_FALSE(sim.first_line().empty()) << sim.log();
        Port port(L"COM3:", c.port_baud);
        ASSERT_TRUE(port.opened());
        const std::string bytes = port.read_for(1200ms);
        DecodedStream stream;
        stream.feed(bytes);
        EXPECT_FALSE(bytes.empty()) << "a receiver heard at the wrong speed still sends";
        if (c.decodes) {
            EXPECT_GE(stream.count(NMEAMessageId::RMC), 3);
            EXPECT_GE(stream.count(NMEAMessageId::GSV), 3);
        } else {
            EXPECT_EQ(stream.total(), 0);
            EXPECT_EQ(bytes.find('$'), std::string::npos);
            port.send(command("aaGPQ,PORZX"));
            EXPECT_TRUE(sim.log_contains("garbled:")) << sim.log();
            EXPECT_EQ(sim.log().find("received:"), std::string::npos);
        }
    }
}

TEST_F(SimSerialTest, ReportsAndChangesItsSetting) {
    SimProcess sim({"serial", "--name", "COM4:", "--rate", "5", "--porzx", "12,3,x,y,45,K"});
    ASSERT_FALSE(sim.first_line().empty()) << sim.log();
    Port port(L"COM4:", 4800);
    ASSERT_TRUE(port.opened());
    DecodedStream stream;
    auto replies = [&](std::size_t n) {
        return [&stream, n] { return stream.porzx().size() >= n; };
    };

    port.send(command("aaGPQ,PORZX"));
    ASSERT_TRUE(port.decode_until(stream, replies(1)));
    EXPECT_TRUE(sim.log_contains("received: aaGPQ,PORZX\n"));
    const CPORZXRecord& first = stream.porzx()[0];
    EXPECT_EQ(first.param1, 12);
    EXPECT_EQ(first.receiver, 3);
    EXPECT_EQ(first.param5, 45);
    EXPECT_EQ(first.param6, 'K');

    port.send(command("PKON1,012,5,,,0045,K"));
    EXPECT_TRUE(sim.log_contains("received: PKON1,012,5,,,0045,K\n")) << sim.log();
    port.send(command("aaGPQ,PORZX"));
    ASSERT_TRUE(port.decode_until(stream, replies(2)));
    EXPECT_EQ(stream.porzx()[1].receiver, 5);
    EXPECT_EQ(stream.porzx()[1].param1, 12);

    // What a service sends when its first query went unanswered is not a setting.
    port.send(command("PKON1,-01,7,,,-001,\xFF"));
    EXPECT_TRUE(sim.log_contains("received: PKON1,-01,7,,,-001,\\xFF (refused)")) << sim.log();
    port.send(command("aaGPQ,PORZX"));
    ASSERT_TRUE(port.decode_until(stream, replies(3)));
    EXPECT_EQ(stream.porzx()[2].receiver, 5);
}

TEST_F(SimSerialTest, WithoutPorzxTheQueryIsLoggedButNeverAnswered) {
    SimProcess sim({"serial", "--name", "COM4:", "--rate", "5", "--no-porzx"});
    ASSERT_FALSE(sim.first_line().empty()) << sim.log();
    Port port(L"COM4:", 4800);
    ASSERT_TRUE(port.opened());
    port.send(command("aaGPQ,PORZX"));
    EXPECT_TRUE(sim.log_contains("received: aaGPQ,PORZX (unknown to this receiver"));
    DecodedStream stream;
    stream.feed(port.read_for(1s));
    EXPECT_TRUE(stream.porzx().empty());
    EXPECT_GE(stream.count(NMEAMessageId::RMC), 3) << "the epochs go on";
}

TEST_F(SimSerialTest, RestartFallsSilentThenSearchesLongerWhenCold) {
    struct Case {
        const char* kind;
        int reset_configuration;
        int min_without_fix;  // RMC epochs without fix after the silence, at 5 Hz
        int max_without_fix;
    };
    // Silence 0.6 s, first fix 1 s (warm) or 2.4 s (cold) after the command.
    for (const Case& c : {Case{"warm", 2, 1, 3}, Case{"cold", 4, 7, 10}}) {
        SCOPED_TRACE(c.kind);
        SimProcess sim({"serial", "--name", "COM2:", "--rate", "5", "--restart-silence", "0.6",
                        "--warm-ttff", "1", "--cold-ttff", "2.4"});
        ASSERT_FALSE(sim.first_line().empty()) << sim.log();
        Port port(L"COM2:", 4800);
        ASSERT_TRUE(port.opened());
        DecodedStream before;
        ASSERT_TRUE(port.decode_until(before, [&] { return before.rmc_statuses().size() >= 2; }));
        EXPECT_EQ(before.rmc_statuses().find('V'), std::string::npos);

        port.send(restart_command(c.reset_configuration));
        ASSERT_TRUE(sim.log_contains(std::string("(") + c.kind + " start)")) << sim.log();
        port.discard_input();
        EXPECT_EQ(port.read_for(300ms), "") << "silent while restarting";

        DecodedStream after;
        ASSERT_TRUE(port.decode_until(
            after, [&] { return after.rmc_statuses().find('A') != std::string::npos; }));
        const std::string statuses = after.rmc_statuses();
        const auto without_fix = static_cast<int>(statuses.find('A'));
        EXPECT_EQ(statuses.substr(0, without_fix), std::string(without_fix, 'V'));
        EXPECT_GE(without_fix, c.min_without_fix) << statuses;
        EXPECT_LE(without_fix, c.max_without_fix) << statuses;
    }
}

TEST_F(SimSerialTest, SilentKeepsTheLineOpen) {
    SimProcess sim({"serial", "--name", "COM5:", "--rate", "5", "--silent-after", "0.5"});
    ASSERT_FALSE(sim.first_line().empty()) << sim.log();
    Port port(L"COM5:", 4800);
    ASSERT_TRUE(port.opened());
    std::this_thread::sleep_for(700ms);
    port.discard_input();
    EXPECT_EQ(port.read_for(800ms), "");
    EXPECT_EQ(port.error(), 0u) << "the line stays open";
    EXPECT_TRUE(bound(5));
}

TEST_F(SimSerialTest, VanishClosesTheLineAndTheBinding) {
    SimProcess sim({"serial", "--name", "COM6:", "--rate", "5", "--vanish-after", "1"});
    ASSERT_FALSE(sim.first_line().empty()) << sim.log();
    Port port(L"COM6:", 4800);
    ASSERT_TRUE(port.opened());
    DecodedStream stream;
    stream.feed(port.read_for(3s));
    EXPECT_EQ(port.error(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_GE(stream.count(NMEAMessageId::RMC), 2) << "it talked before it vanished";
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_FALSE(bound(6));
}

}  // namespace
}  // namespace tarnwick::test
