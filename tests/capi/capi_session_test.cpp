// The C interface against a real tarnwickd in the test's namespace, with a receiver from
// tarnwick-sim on a pseudo-terminal: requests, the data stream, the kept fix, quitting.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capi/tarnwick.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_process.h"
#include "tests/tools/sim_process.h"

namespace tarnwick::test {
namespace {

struct ClientCloser {
    void operator()(tarnwick_client* client) const { tarnwick_close(client); }
};
struct WatcherCloser {
    void operator()(tarnwick_watcher* watcher) const { tarnwick_watcher_close(watcher); }
};
using ClientHandle = std::unique_ptr<tarnwick_client, ClientCloser>;
using WatcherHandle = std::unique_ptr<tarnwick_watcher, WatcherCloser>;

class CApiSession : public PrivateNamespace {
  protected:
    void SetUp() override {
        PrivateNamespace::SetUp();
        service_ = std::make_unique<ServiceProcess>(service_arguments());
        ASSERT_TRUE(service_->wait_ready());
        tarnwick_options options;
        tarnwick_options_init(&options);
        options.may_start = 0;
        tarnwick_client* opened = nullptr;
        ASSERT_EQ(tarnwick_open(&options, &opened), TARNWICK_OK);
        client_.reset(opened);
    }

    void TearDown() override {
        watcher_.reset();
        if (client_) {
            EXPECT_EQ(tarnwick_quit(client_.get()), TARNWICK_OK);
            client_.reset();
            EXPECT_EQ(service_->wait(), 0);
        }
        service_.reset();
        PrivateNamespace::TearDown();
    }

    virtual std::vector<std::string> service_arguments() const { return {}; }

    void open_watcher() {
        tarnwick_watcher* opened = nullptr;
        ASSERT_EQ(tarnwick_watcher_open(client_.get(), &opened), TARNWICK_OK);
        watcher_.reset(opened);
    }

    // The next message with the given id, skipping others; false when the stream stops.
    bool next_with_id(int32_t id, tarnwick_message& message) {
        for (int skipped = 0; skipped < 500; ++skipped) {
            uint64_t lost = 0;
            if (tarnwick_watcher_next(watcher_.get(), 30000, &message, &lost) != TARNWICK_OK) {
                return false;
            }
            EXPECT_EQ(lost, 0U);
            if (message.id == id) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<ServiceProcess> service_;
    ClientHandle client_;
    WatcherHandle watcher_;
};

TEST_F(CApiSession, ConnectToASimulatedReceiverWatchRmcAndGetTheFix) {
    SimProcess receiver({"serial", "--name", "COM4:", "--rate", "10"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM4: ")) << receiver.log();
    open_watcher();

    // The port list, asked for its size first, then refused into one byte too few.
    size_t needed = 0;
    size_t count = 0;
    ASSERT_EQ(tarnwick_enum_ports(client_.get(), nullptr, 0, &needed, &count),
              TARNWICK_ERROR_BUFFER_TOO_SMALL);
    ASSERT_GE(count, 1U);
    ASSERT_GE(needed, std::strlen("COM4:") + 2);
    std::string list(needed, '#');
    EXPECT_EQ(tarnwick_enum_ports(client_.get(), list.data(), needed - 1, &needed, &count),
              TARNWICK_ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(list, std::string(needed, '#')) << "a refused buffer is left alone";
    ASSERT_EQ(tarnwick_enum_ports(client_.get(), list.data(), list.size(), &needed, &count),
              TARNWICK_OK);
    EXPECT_EQ(list.back(), '\0');
    EXPECT_EQ(list[list.size() - 2], '\0');
    EXPECT_NE(list.find(std::string("COM4:\0", 6)), std::string::npos);

    int connected = 0;
    uint32_t system_error = 99;
    ASSERT_EQ(tarnwick_connect_port(client_.get(), "COM4:", 4800, &connected, &system_error),
              TARNWICK_OK);
    ASSERT_EQ(connected, 1);
    EXPECT_EQ(system_error, 0U);

    tarnwick_connection connection;
    ASSERT_EQ(tarnwick_get_connection(client_.get(), &connection), TARNWICK_OK);
    EXPECT_EQ(connection.connected, 1);
    EXPECT_STREQ(connection.port, "COM4:");
    EXPECT_EQ(connection.port_truncated, 0);
    EXPECT_EQ(connection.baud, 4800);
    int32_t mode = 0;
    ASSERT_EQ(tarnwick_get_input_mode(client_.get(), &mode), TARNWICK_OK);
    EXPECT_EQ(mode, TARNWICK_INPUT_SERIAL);
    int tstamp = 1;
    ASSERT_EQ(tarnwick_get_time_stamp_mode(client_.get(), &tstamp), TARNWICK_OK);
    EXPECT_EQ(tstamp, 0);

    // The simulator has its fix from the first epoch on.
    tarnwick_rmc last{};
    for (int seen = 0; seen < 3; ++seen) {
        tarnwick_message message;
        ASSERT_TRUE(next_with_id(TARNWICK_RMC, message));
        EXPECT_EQ(message.has_record, 1);
        EXPECT_EQ(message.has_tick, 0);
        EXPECT_EQ(message.record.rmc.status, 'A');
        EXPECT_EQ(message.record.rmc.position.lat_hemi == 'N' ||
                      message.record.rmc.position.lat_hemi == 'S',
                  true);
        last = message.record.rmc;
    }
    tarnwick_rmc fix;
    int has_fix = 0;
    ASSERT_EQ(tarnwick_get_valid_rmc(client_.get(), &fix, &has_fix), TARNWICK_OK);
    ASSERT_EQ(has_fix, 1);
    EXPECT_EQ(fix.status, 'A');
    // The kept fix is the newest valid RMC, so at most a few epochs after the last one seen.
    EXPECT_EQ(fix.position.lat_deg, last.position.lat_deg);
    EXPECT_EQ(fix.position.lat_hemi, last.position.lat_hemi);

    ASSERT_EQ(tarnwick_disconnect(client_.get()), TARNWICK_OK);
    ASSERT_EQ(tarnwick_get_connection(client_.get(), &connection), TARNWICK_OK);
    EXPECT_EQ(connection.connected, 0);
    EXPECT_STREQ(connection.port, "");
}

TEST_F(CApiSession, AScanReportsOnTheWatcherAndEndsWithItsSummary) {
    SimProcess receiver({"serial", "--name", "COM2:", "--baud", "9600"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM2: ")) << receiver.log();
    open_watcher();
    tarnwick_connection connection;
    ASSERT_EQ(tarnwick_connect(client_.get(), 1, &connection), TARNWICK_OK);
    EXPECT_EQ(connection.connected, 0) << "nothing remembered: a scan starts";

    tarnwick_message message;
    do {
        ASSERT_TRUE(next_with_id(TARNWICK_MSG_SCAN_EVENT, message));
        EXPECT_EQ(message.has_record, 0);
    } while (message.scan.code != TARNWICK_SCAN_END);
    ASSERT_EQ(message.scan.summary_count, 1U);

    char port[TARNWICK_PORT_SIZE];
    size_t port_needed = 0;
    int32_t rates[8] = {};
    size_t rate_count = 0;
    // Asked for the sizes, then refused into a name buffer one byte too small.
    ASSERT_EQ(tarnwick_watcher_summary_entry(watcher_.get(), 0, nullptr, 0, &port_needed, nullptr,
                                             0, &rate_count),
              TARNWICK_ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(port_needed, sizeof "COM2:");
    EXPECT_EQ(rate_count, 1U);
    std::memset(port, '#', sizeof port);
    EXPECT_EQ(tarnwick_watcher_summary_entry(watcher_.get(), 0, port, port_needed - 1, &port_needed,
                                             rates, 8, &rate_count),
              TARNWICK_ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(port[0], '#');
    EXPECT_EQ(rates[0], 0);
    ASSERT_EQ(tarnwick_watcher_summary_entry(watcher_.get(), 0, port, sizeof port, &port_needed,
                                             rates, 8, &rate_count),
              TARNWICK_OK);
    EXPECT_STREQ(port, "COM2:");
    ASSERT_EQ(rate_count, 1U);
    EXPECT_EQ(rates[0], 9600);
    EXPECT_EQ(tarnwick_watcher_summary_entry(watcher_.get(), 1, port, sizeof port, &port_needed,
                                             rates, 8, &rate_count),
              TARNWICK_ERROR_INVALID_ARGUMENT);
}

TEST_F(CApiSession, AWatcherWithoutInputTimesOutAndOutlivesItsClient) {
    open_watcher();
    tarnwick_message message;
    std::memset(&message, 0x5A, sizeof message);
    uint64_t lost = 7;
    ASSERT_EQ(tarnwick_watcher_next(watcher_.get(), 200, &message, &lost),
              TARNWICK_ERROR_TIMED_OUT);
    EXPECT_EQ(lost, 0U);
    EXPECT_EQ(message.id, 0);
    EXPECT_EQ(message.has_record, 0);
    // No scan event came, so there is no summary to read.
    char port[8];
    size_t needed = 0;
    size_t count = 0;
    EXPECT_EQ(tarnwick_watcher_summary_entry(watcher_.get(), 0, port, sizeof port, &needed, nullptr,
                                             0, &count),
              TARNWICK_ERROR_INVALID_ARGUMENT);

    // A second client takes over; the first is closed before its watcher, which goes on.
    tarnwick_client* other = nullptr;
    ASSERT_EQ(tarnwick_open(nullptr, &other), TARNWICK_OK);
    client_.reset(other);
    EXPECT_EQ(tarnwick_watcher_next(watcher_.get(), 0, &message, &lost), TARNWICK_ERROR_TIMED_OUT);
}

TEST_F(CApiSession, BadArgumentsOfALiveClientAreRefusedAndAMissingPortIsTold) {
    int flag = 5;
    uint32_t system_error = 0;
    // Bytes that are not UTF-8 would reach the service altered: refused, nothing sent.
    for (const char* name : {"COM\xff:", "COM\xc3", "\xed\xa0\x80", "\xc0\xaf"}) {
        EXPECT_EQ(tarnwick_connect_port(client_.get(), name, 4800, &flag, &system_error),
                  TARNWICK_ERROR_INVALID_ARGUMENT)
            << name;
        EXPECT_EQ(tarnwick_open_file(client_.get(), name, 0, 1, &flag),
                  TARNWICK_ERROR_INVALID_ARGUMENT);
        EXPECT_EQ(tarnwick_open_memory(client_.get(), name, &flag),
                  TARNWICK_ERROR_INVALID_ARGUMENT);
    }
    EXPECT_EQ(flag, 5);
    const std::vector<std::pair<const char*, tarnwick_error>> nulls = {
        {"connect_port", tarnwick_connect_port(client_.get(), nullptr, 4800, &flag, &system_error)},
        {"connect_port result",
         tarnwick_connect_port(client_.get(), "COM1:", 4800, nullptr, &system_error)},
        {"connect_port error", tarnwick_connect_port(client_.get(), "COM1:", 4800, &flag, nullptr)},
        {"open_file", tarnwick_open_file(client_.get(), nullptr, 0, 1, &flag)},
        {"start_write", tarnwick_start_write(client_.get(), nullptr, &flag)},
        {"open_memory", tarnwick_open_memory(client_.get(), "feed", nullptr)},
        {"enum_ports count", tarnwick_enum_ports(client_.get(), nullptr, 0, nullptr, nullptr)},
        {"enum_ports buffer", tarnwick_enum_ports(client_.get(), nullptr, 8, nullptr, nullptr)},
        {"get_valid_rmc", tarnwick_get_valid_rmc(client_.get(), nullptr, &flag)},
        {"watcher_open", tarnwick_watcher_open(client_.get(), nullptr)},
    };
    for (const auto& [name, error] : nulls) {
        EXPECT_EQ(error, TARNWICK_ERROR_INVALID_ARGUMENT) << name;
    }

    // A port name longer than the request channel holds.
    const std::string long_name(100000, 'C');
    EXPECT_EQ(tarnwick_connect_port(client_.get(), long_name.c_str(), 4800, &flag, &system_error),
              TARNWICK_ERROR_REQUEST_TOO_LARGE);

    ASSERT_EQ(tarnwick_connect_port(client_.get(), "COM9:", 4800, &flag, &system_error),
              TARNWICK_OK);
    EXPECT_EQ(flag, 0);
    EXPECT_NE(system_error, 0U);
    // The replayed sample is an input as well.
    ASSERT_EQ(tarnwick_open_file(client_.get(), TARNWICK_SAMPLE_TRACK, 0, 8, &flag), TARNWICK_OK);
    EXPECT_EQ(flag, 1);
    int32_t mode = 0;
    ASSERT_EQ(tarnwick_get_input_mode(client_.get(), &mode), TARNWICK_OK);
    EXPECT_EQ(mode, TARNWICK_INPUT_FILE);
}

class CApiSessionWithTicks : public CApiSession {
  protected:
    std::vector<std::string> service_arguments() const override { return {"tstamp"}; }
};

TEST_F(CApiSessionWithTicks, RmcOfAReplayedFileCarriesTheTick) {
    int tstamp = 0;
    ASSERT_EQ(tarnwick_get_time_stamp_mode(client_.get(), &tstamp), TARNWICK_OK);
    EXPECT_EQ(tstamp, 1);
    open_watcher();
    int opened = 0;
    ASSERT_EQ(tarnwick_open_file(client_.get(), TARNWICK_SAMPLE_TRACK, 0, 8, &opened), TARNWICK_OK);
    ASSERT_EQ(opened, 1);
    for (int seen = 0; seen < 2; ++seen) {
        tarnwick_message message;
        ASSERT_TRUE(next_with_id(TARNWICK_RMC, message));
        EXPECT_EQ(message.has_record, 1);
        EXPECT_EQ(message.has_tick, 1);
    }
    // Other records carry no tick.
    tarnwick_message gga;
    ASSERT_TRUE(next_with_id(TARNWICK_GGA, gga));
    EXPECT_EQ(gga.has_tick, 0);
    EXPECT_EQ(gga.has_record, 1);
}

}  // namespace
}  // namespace tarnwick::test
