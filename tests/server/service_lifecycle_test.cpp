// tarnwickd as a process: its start event and single instance, the "path" value, argument 1,
// the ways it stops (Quit, stop signals, a data stream nobody empties), --help and --version.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/channel_bytes.h"
#include "client/message_decoding.h"
#include "exchange/exchange_buffer.h"
#include "platform/namespace.h"
#include "platform/win32.h"
#include "tests/server/service_fixture.h"
#include "tests/support/spawned_process.h"

namespace tarnwick::test {
namespace {

using client::RequestBatch;

std::wstring registry_path_value() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, 0, &key) !=
        ERROR_SUCCESS) {
        return L"";
    }
    wchar_t path[1024] = {};
    DWORD type = 0;
    DWORD size = sizeof path;
    const LSTATUS status =
        RegQueryValueExW(key, L"path", nullptr, &type, reinterpret_cast<LPBYTE>(path), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return L"";
    }
    // Stored with its terminating NUL.
    EXPECT_EQ(size, (std::wcslen(path) + 1) * sizeof(wchar_t));
    return path;
}

class ServiceLifecycleTest : public ServiceTest {};

TEST_F(ServiceLifecycleTest, QuitInMidBatchEndsTheServiceAfterTheBatch) {
    start_service();
    EXPECT_EQ(registry_path_value(), std::filesystem::canonical(service_program()).wstring());

    RawRequests batch;
    batch.i32(1015).i32(1006).i32(1011).i32(1014).i32(1000).i32(1015);
    const std::optional<Bytes> answer = session().call(batch.bytes());
    ASSERT_TRUE(answer);
    RawRequests expected;
    expected.i32(1015).i32(0).i32(1006).i32(0).i32(999).i32(1014).i32(0).i32(1015).i32(0);
    EXPECT_EQ(*answer, expected.bytes());

    EXPECT_EQ(service().wait(), 0);
    EXPECT_FALSE(start_event_exists());
}

TEST_F(ServiceLifecycleTest, SecondStartExitsAtOnceWithoutTouchingTheRegistry) {
    start_service();
    const std::string registry_before = read_file(platform::registry_path());

    int exit_code = -1;
    run_child(service_program(), {}, &exit_code);
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(read_file(platform::registry_path()), registry_before);

    EXPECT_EQ(session().ask(RequestBatch().get_time_stamp_mode()).code, 1015)
        << "the first instance still serves";
}

TEST_F(ServiceLifecycleTest, StopSignalsEndItLikeQuit) {
    for (int number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(number));
        start_service();
        service().signal(number);
        EXPECT_EQ(service().wait(), 0);
        EXPECT_FALSE(start_event_exists());
    }
}

TEST_F(ServiceLifecycleTest, HelpAndVersionOnlyAsArgumentOne) {
    int exit_code = -1;
    EXPECT_NE(run_child(service_program(), {"--help"}, &exit_code).find("Usage: tarnwickd"),
              std::string::npos);
    EXPECT_EQ(exit_code, 0);
    EXPECT_TRUE(run_child(service_program(), {"--version"}, &exit_code).starts_with("tarnwickd "));
    EXPECT_EQ(exit_code, 0);
    EXPECT_FALSE(start_event_exists());

    start_service({"tstamp", "--help"});
    EXPECT_EQ(session().ask(RequestBatch().get_time_stamp_mode()).result, 1);
}

TEST_F(ServiceLifecycleTest, TickStampsOnlyForExactlyTstampAsArgumentOne) {
    struct Case {
        std::vector<std::string> args;
        int stamps;
    };
    const Case cases[] = {
        {{"tstamp"}, 1}, {{}, 0}, {{"TSTAMP"}, 0}, {{"tstamps"}, 0}, {{"x", "tstamp"}, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no argument" : c.args.front());
        start_service(c.args);
        EXPECT_EQ(session().ask(RequestBatch().get_time_stamp_mode()).result, c.stamps);
        session().call(RequestBatch().quit());
        EXPECT_EQ(service().wait(), 0);
    }
}

TEST_F(ServiceLifecycleTest, RmcMessagesCarryATickOnlyWithTstamp) {
    const std::filesystem::path track = make_track(10);
    for (bool stamps : {true, false}) {
        SCOPED_TRACE(stamps ? "tstamp" : "no tstamp");
        start_service(stamps ? std::vector<std::string>{"tstamp"} : std::vector<std::string>{});
        session().set_tick_stamps(stamps);
        EXPECT_EQ(session().ask(RequestBatch().open_file(track.wstring(), false, 20.0f)).result, 1);
        EXPECT_TRUE(
            session().watch_until([&] { return session().count(input_ended_id) == 1; }, 20s));
        EXPECT_TRUE(session().stream_intact());
        const auto rmc = messages_with(rmc_id);
        ASSERT_FALSE(rmc.empty());
        for (const client::StreamMessage* message : rmc) {
            EXPECT_EQ(message->tick.has_value(), stamps);
            EXPECT_EQ(message->body.size(), 41u + (stamps ? 4u : 0u));
        }
        for (const client::StreamMessage& message : session().messages()) {
            if (message.id != rmc_id) {
                EXPECT_FALSE(message.tick.has_value()) << message.id;
            }
        }
        session().call(RequestBatch().quit());
        EXPECT_EQ(service().wait(), 0);
    }
}

TEST_F(ServiceLifecycleTest, FullDataStreamStopsTheServiceAndKeepsWhatIsStored) {
    const std::filesystem::path track = make_track(60);
    // Held open so that the channel outlives the service; never read until the end.
    GPS::exchange_buffer data_stream;
    start_service();
    ASSERT_TRUE(data_stream.open(L"data_stream", 1024, 32));
    ASSERT_TRUE(session().call(RequestBatch().open_file(track.wstring(), true, 0.0f)));
    EXPECT_EQ(service().wait(), 0);

    const Bytes stored = client::take_stored_bytes(data_stream);
    // Nearly full, and only whole messages.
    EXPECT_GT(stored.size(), 32768u - 12u - 1024u);
    std::span<const std::uint8_t> rest(stored);
    int messages = 0;
    while (!rest.empty()) {
        const std::size_t length = client::message_length(rest, false);
        ASSERT_NE(length, 0u) << "after " << messages << " messages";
        ASSERT_LE(length, rest.size());
        rest = rest.subspan(length);
        ++messages;
    }
    EXPECT_GT(messages, 100);
}

TEST_F(ServiceLifecycleTest, OnlyAFullDataStreamSaysWhyTheServiceStopped) {
    // Both end with status 0; the user learns from standard error which one it was.
    const std::filesystem::path track = make_track(60);
    struct Case {
        const char* what;
        bool overflows;
    };
    // The Quit first: the session keeps "data_stream" open, and a full one would stay full.
    for (const Case& c : {Case{"Quit", false}, Case{"a data stream nobody empties", true}}) {
        SCOPED_TRACE(c.what);
        start_service({}, ServiceProcess::Errors::kept);
        if (c.overflows) {
            ASSERT_TRUE(session().call(RequestBatch().open_file(track.wstring(), true, 0.0f)));
        } else {
            session().call(RequestBatch().quit());
        }
        EXPECT_EQ(service().wait(), 0);
        const std::string said = service().errors();
        EXPECT_EQ(said.find("tarnwickd: stopped: the data stream was full") != std::string::npos,
                  c.overflows)
            << said;
    }
}

}  // namespace
}  // namespace tarnwick::test
