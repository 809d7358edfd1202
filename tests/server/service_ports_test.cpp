// tarnwickd with simulated receivers on pseudo-terminals: the remembered port at start-up and
// for Connect, ConnectPort, a scan through EndScan, a port that vanishes and returns, recording.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "client/answer.h"
#include "platform/namespace.h"
#include "protocol/scan_event.h"
#include "tests/platform/pseudo_terminal.h"
#include "tests/server/service_fixture.h"
#include "tests/support/scheduling.h"
#include "tests/support/test_support.h"
#include "tests/support/tty_holder.h"

namespace tarnwick::test {
namespace {

using client::RequestBatch;

// The remembered port and rate, when both values are there.
std::optional<std::pair<std::wstring, DWORD>> remembered_port() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, 0, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t name[64] = {};
    DWORD name_size = sizeof name;
    DWORD name_type = 0;
    DWORD baud = 0;
    DWORD baud_size = sizeof baud;
    DWORD baud_type = 0;
    const LSTATUS port_status = RegQueryValueExW(key, L"port", nullptr, &name_type,
                                                 reinterpret_cast<LPBYTE>(name), &name_size);
    const LSTATUS baud_status = RegQueryValueExW(key, L"baud", nullptr, &baud_type,
                                                 reinterpret_cast<LPBYTE>(&baud), &baud_size);
    RegCloseKey(key);
    if (port_status != ERROR_SUCCESS || name_type != REG_SZ || baud_status != ERROR_SUCCESS ||
        baud_type != REG_DWORD) {
        return std::nullopt;
    }
    return std::make_pair(std::wstring(name), baud);
}

class ServicePortsTest : public ServiceTest {
  protected:
    bool sentences_arrive(int count = 3) {
        const int before = session().count(rmc_id);
        return session().watch_until([&] { return session().count(rmc_id) >= before + count; },
                                     20s);
    }
    void expect_connection(const wchar_t* port, std::int32_t baud) {
        const client::Answer connection = session().ask(RequestBatch().get_connection());
        EXPECT_EQ(connection.result, 1);
        EXPECT_EQ(connection.port, port);
        EXPECT_EQ(connection.baud, baud);
    }
};

TEST_F(ServicePortsTest, StartUpReconnectsToTheRememberedPort) {
    const auto receiver = start_receiver("COM3:");
    remember_port(L"COM3:", 4800);
    start_service();
    ASSERT_TRUE(session().watch_until([&] { return session().count(reconnected_id) == 1; }, 20s));
    EXPECT_EQ(messages_with(reconnected_id).front()->input_mode, 1);
    EXPECT_TRUE(sentences_arrive());
    expect_connection(L"COM3:", 4800);
}

TEST_F(ServicePortsTest, ConnectTakesTheRememberedPortWithoutScanning) {
    const auto receiver = start_receiver("COM3:");
    remember_port(L"COM3:", 4800);
    start_service();
    const client::Answer connect = session().ask(RequestBatch().connect(true));
    EXPECT_EQ(connect.result, 1);
    EXPECT_EQ(connect.port, L"COM3:");
    EXPECT_EQ(connect.baud, 4800);
    EXPECT_TRUE(sentences_arrive());
    session().watch_for(1500ms);
    EXPECT_EQ(session().count(scan_event_id), 0);
}

TEST_F(ServicePortsTest, ConnectPortWithAnEmptyNameTakesTheRememberedPort) {
    const auto receiver = start_receiver("COM3:");
    remember_port(L"COM3:", 4800);
    start_service();
    EXPECT_EQ(session().ask(RequestBatch().connect_port(L"", 0)).result, 1);
    expect_connection(L"COM3:", 4800);
    EXPECT_TRUE(sentences_arrive());
}

TEST_F(ServicePortsTest, ConnectWithoutARememberedPortScansUntilEndScan) {
    const auto receiver = start_receiver("COM2:", {"--baud", "9600"});
    start_service();
    EXPECT_EQ(session().ask(RequestBatch().connect(true)).result, 0);
    // A scan runs: no other scan now, and the ports listed are those it probes.
    EXPECT_EQ(session().ask(RequestBatch().connect(false)).result, 0);
    const client::Answer ports = session().ask(RequestBatch().enum_ports());
    EXPECT_EQ(ports.code, 1001);
    EXPECT_EQ(ports.result, static_cast<std::int32_t>(ports.ports.size()));
    EXPECT_NE(std::find(ports.ports.begin(), ports.ports.end(), L"COM2:"), ports.ports.end());

    auto scan_ended = [&] {
        for (const client::StreamMessage* event : messages_with(scan_event_id)) {
            if (event->scan.code == end_scan_code) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(session().watch_until(scan_ended, 120s));
    const auto events = messages_with(scan_event_id);
    EXPECT_EQ(events.front()->scan.code, 0) << "StartScan first";
    int starts = 0;
    for (const client::StreamMessage* event : events) {
        starts += event->scan.code == 0 ? 1 : 0;
    }
    EXPECT_EQ(starts, 1);
    const client::ScanEvent& end = events.back()->scan;
    EXPECT_EQ(end.code, end_scan_code);
    ASSERT_EQ(end.summary.size(), 1u);
    EXPECT_EQ(end.summary[0].port, L"COM2:");
    EXPECT_EQ(end.summary[0].rates, std::vector<std::int32_t>{9600});

    // A scan connects nothing; ConnectPort does, and remembers the port.
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 0);
    EXPECT_EQ(session().ask(RequestBatch().connect_port(L"COM2:", 9600)).result, 1);
    expect_connection(L"COM2:", 9600);
    EXPECT_TRUE(sentences_arrive());
    session().call(RequestBatch().disconnect());
    const client::Answer connect = session().ask(RequestBatch().connect(false));
    EXPECT_EQ(connect.result, 1) << "the port is remembered now";
    EXPECT_EQ(connect.port, L"COM2:");
}

TEST_F(ServicePortsTest, VanishedPortIsLostThenReconnected) {
    auto receiver = start_receiver("COM3:", {"--vanish-after", "3"});
    start_service();
    EXPECT_EQ(session().ask(RequestBatch().connect_port(L"COM3:", 4800)).result, 1);
    ASSERT_TRUE(session().watch_until([&] { return session().count(input_lost_id) == 1; }, 30s));
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 0);
    receiver->wait();

    receiver = start_receiver("COM3:");
    ASSERT_TRUE(session().watch_until([&] { return session().count(reconnected_id) == 1; }, 30s));
    EXPECT_EQ(messages_with(reconnected_id).front()->input_mode, 1);
    EXPECT_TRUE(sentences_arrive());
    EXPECT_EQ(session().count(input_lost_id), 1);
    EXPECT_TRUE(session().stream_intact());
}

TEST_F(ServicePortsTest, OnlyTheSerialReaderRunsRaisedAndOnlyWhileItReads) {
    const int reading = realtime_priority_allowed() ? 1 : 0;
    auto receiver = start_receiver("COM3:", {"--vanish-after", "6"});
    start_service();
    EXPECT_EQ(raised_thread_count(service().pid()), 0);
    EXPECT_EQ(session().ask(RequestBatch().connect_port(L"COM3:", 4800)).result, 1);
    ASSERT_TRUE(sentences_arrive(1));
    EXPECT_EQ(raised_thread_count(service().pid()), reading);

    // The end of the input is handled, and the reconnection started, at normal priority.
    ASSERT_TRUE(session().watch_until([&] { return session().count(input_lost_id) == 1; }, 30s));
    EXPECT_TRUE(eventually([&] { return raised_thread_count(service().pid()) == 0; }, 5s));
}

TEST_F(ServicePortsTest, DisconnectEndsReconnection) {
    auto receiver = start_receiver("COM3:", {"--vanish-after", "2"});
    start_service();
    EXPECT_EQ(session().ask(RequestBatch().connect_port(L"COM3:", 4800)).result, 1);
    ASSERT_TRUE(session().watch_until([&] { return session().count(input_lost_id) == 1; }, 30s));
    session().call(RequestBatch().disconnect());
    receiver->wait();
    receiver = start_receiver("COM3:");
    session().watch_for(3s);
    EXPECT_EQ(session().count(reconnected_id), 0);
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 0);
}

TEST_F(ServicePortsTest, ConnectPortToAMissingPortTellsTheError) {
    start_service();
    const client::Answer answer = session().ask(RequestBatch().connect_port(L"COM9:", 4800));
    EXPECT_EQ(answer.code, 1004);
    EXPECT_EQ(answer.result, 0);
    EXPECT_NE(answer.system_error, 0u);
    const client::Answer connect = session().ask(RequestBatch().connect(false));
    EXPECT_EQ(connect.result, 0) << "a failed set-up is not remembered";
}

TEST_F(ServicePortsTest, ConnectPortTellsWhyAPortFailed) {
    const PseudoTerminal silent;  // a line nobody talks on
    ASSERT_TRUE(platform::bind_port(L"COM5:", silent.slave_path()));
    const auto other_rate = start_receiver("COM3:", {"--baud", "9600"});
    start_service();
    struct Case {
        const wchar_t* port;
        std::int32_t baud;
        DWORD error;
    };
    const Case cases[] = {
        {L"COM9:", 4800, ERROR_FILE_NOT_FOUND},     // no such port
        {L"", 4800, ERROR_FILE_NOT_FOUND},          // no port remembered
        {L"COM5:", 4800, ERROR_TIMEOUT},            // no sentence within the probe's time
        {L"COM3:", 4800, ERROR_TIMEOUT},            // a receiver heard at another rate
        {L"COM5:", 12345, ERROR_INVALID_PARAMETER}  // a rate the line cannot take
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.port << " at " << c.baud);
        const client::Answer answer = session().ask(RequestBatch().connect_port(c.port, c.baud));
        EXPECT_EQ(answer.code, 1004);
        EXPECT_EQ(answer.result, 0);
        EXPECT_EQ(answer.system_error, c.error);
        EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 0);
    }
    EXPECT_EQ(remembered_port(), std::nullopt) << "a failed set-up is not remembered";
}

TEST_F(ServicePortsTest, ConnectAndConnectPortWhileAnInputIsOpenKeepItAndTheRememberedPort) {
    // The answer is 1 whatever port is named; what runs is told by GetConnection and
    // GetInputMode. The remembered port stays that of the last serial input. Connect names the
    // port the service holds: none, at rate 0, under a replay.
    struct Case {
        const char* what;
        bool receiver;
        std::int32_t mode;
        std::int32_t connection;
        const wchar_t* connect_port;
        std::int32_t connect_baud;
    };
    const std::filesystem::path track = make_track(60);
    for (const Case& c :
         {Case{"serial", true, 1, 1, L"COM3:", 4800}, Case{"replay", false, 2, 0, L"", 0}}) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<SimProcess> receiver;
        if (c.receiver) {
            receiver = start_receiver("COM3:");
        }
        remember_port(L"COM3:", 4800);
        start_service();
        if (c.receiver) {
            ASSERT_TRUE(
                session().watch_until([&] { return session().count(reconnected_id) == 1; }, 20s));
        } else {
            // The start-up reconnection to COM3: goes on; its next attempt finds the replay open
            // and ends there.
            ASSERT_EQ(session().ask(RequestBatch().open_file(track.wstring(), true, 1.0f)).result,
                      1);
            ASSERT_TRUE(
                session().watch_until([&] { return session().count(reconnected_id) == 1; }, 20s));
            EXPECT_EQ(messages_with(reconnected_id).front()->input_mode, 2);
        }
        for (const wchar_t* port : {L"COM9:", L"COM3:", L""}) {
            EXPECT_EQ(session().ask(RequestBatch().connect_port(port, 9600)).result, 1);
        }
        const client::Answer connect = session().ask(RequestBatch().connect(false));
        EXPECT_EQ(connect.result, 1);
        EXPECT_EQ(connect.port, c.connect_port);
        EXPECT_EQ(connect.baud, c.connect_baud);
        const auto state = session().call(RequestBatch().get_input_mode().get_connection());
        ASSERT_TRUE(state);
        EXPECT_EQ((*state)[0].result, c.mode);
        EXPECT_EQ((*state)[1].result, c.connection);
        if (c.connection == 1) {
            EXPECT_EQ((*state)[1].port, L"COM3:");
            EXPECT_EQ((*state)[1].baud, 4800);
        }
        session().call(RequestBatch().quit());
        EXPECT_EQ(service().wait(), 0);
        EXPECT_EQ(remembered_port(), std::make_pair(std::wstring(L"COM3:"), DWORD{4800}));
    }
}

TEST_F(ServicePortsTest, APortAnotherProgramHoldsIsBusyForConnectPortAndTheScan) {
    const PseudoTerminal line;
    ASSERT_TRUE(platform::bind_port(L"COM4:", line.slave_path()));
    const TtyHolder holder(line.slave_path());
    const termios before = line_settings(line.slave_path());
    start_service();

    const client::Answer answer = session().ask(RequestBatch().connect_port(L"COM4:", 4800));
    EXPECT_EQ(answer.result, 0);
    EXPECT_EQ(answer.system_error, ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(same_settings(line_settings(line.slave_path()), before));

    EXPECT_EQ(session().ask(RequestBatch().connect(true)).result, 0);
    ASSERT_TRUE(session().watch_until(
        [&] {
            const auto events = messages_with(scan_event_id);
            return !events.empty() && events.back()->scan.code == end_scan_code;
        },
        120s));
    std::vector<std::pair<std::int32_t, std::int32_t>> of_the_port;
    for (const client::StreamMessage* event : messages_with(scan_event_id)) {
        if (event->scan.port == L"COM4:") {
            of_the_port.emplace_back(event->scan.code, event->scan.value);
        }
    }
    EXPECT_EQ(of_the_port, (std::vector<std::pair<std::int32_t, std::int32_t>>{
                               {StartPortScan, 0}, {CreateFileFailed, 0}, {EndPortScan, 0}}));
    EXPECT_TRUE(same_settings(line_settings(line.slave_path()), before));
}

TEST_F(ServicePortsTest, RecordingThroughRequests) {
    const auto receiver = start_receiver("COM3:");
    start_service();
    const std::filesystem::path recording = home() / "recorded.nmea";
    EXPECT_EQ(session().ask(RequestBatch().connect_port(L"COM3:", 4800)).result, 1);
    const auto started = session().call(
        RequestBatch().start_write(recording.wstring()).get_connection().get_input_mode());
    ASSERT_TRUE(started);
    EXPECT_EQ((*started)[0].result, 1);
    EXPECT_EQ((*started)[1].result, 0) << "no connection is told while recording";
    EXPECT_EQ((*started)[2].result, 1 | 4);
    EXPECT_TRUE(sentences_arrive(5));
    const auto stopped = session().call(RequestBatch().stop_write().get_input_mode());
    ASSERT_TRUE(stopped);
    EXPECT_EQ((*stopped)[0].result, 1);
    EXPECT_EQ((*stopped)[1].result, 1);
    expect_connection(L"COM3:", 4800);
    EXPECT_NE(read_file(recording).find("$GPRMC,"), std::string::npos);
}

TEST_F(ServicePortsTest, ReceiverRequestsReachTheReceiver) {
    const auto receiver = start_receiver("COM3:", {"--porzx", "12,3,1,0,45,K"});
    start_service();
    EXPECT_EQ(session().ask(RequestBatch().connect_port(L"COM3:", 4800)).result, 1);
    EXPECT_EQ(session().ask(RequestBatch().get_receiver()).result, 3);
    EXPECT_EQ(session().ask(RequestBatch().set_receiver(5)).result, 5);
    EXPECT_TRUE(receiver->log_contains("received: PKON1,012,5,,,0045,K")) << receiver->log();
    EXPECT_EQ(session().ask(RequestBatch().restart_receiver(false)).result, 1);
    EXPECT_TRUE(receiver->log_contains("received: PSRF101,")) << receiver->log();
    EXPECT_TRUE(sentences_arrive()) << "the input runs on after the commands";
}

TEST_F(ServicePortsTest, SharedMemoryProducerIsAnInput) {
    SimProcess producer({"memory", "tarnwick_test_producer", "--rate", "5"});
    ASSERT_EQ(producer.first_line(), "tarnwick_test_producer") << producer.log();
    start_service();
    EXPECT_EQ(session().ask(RequestBatch().open_memory(L"tarnwick_test_producer")).result, 1);
    EXPECT_EQ(session().ask(RequestBatch().get_input_mode()).result, 8);
    EXPECT_EQ(session().ask(RequestBatch().get_receiver()).result, 0) << "no receiver to ask";
    EXPECT_TRUE(sentences_arrive());
}

}  // namespace
}  // namespace tarnwick::test
