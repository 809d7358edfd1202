// The C interface without a service: what it says when none runs, and how it refuses NULL
// handles and out-parameters, handles that are not live, and too-small buffers, before it
// touches anything.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "capi/tarnwick.h"
#include "tests/platform/namespace_fixture.h"

extern "C" int tarnwick_c99_header_check(void);

namespace tarnwick::test {
namespace {

using CApi = PrivateNamespace;

TEST_F(CApi, TheHeaderCompiledAsC99AgreesWithTheLibrary) {
    EXPECT_EQ(tarnwick_c99_header_check(), 1);
}

TEST_F(CApi, OptionsStartWithTheLibrarysDefaults) {
    tarnwick_options options;
    std::memset(&options, 0x5A, sizeof options);
    tarnwick_options_init(&options);
    EXPECT_EQ(options.may_start, 1);
    EXPECT_EQ(options.start_timeout_ms, 5000U);
    EXPECT_EQ(options.answer_timeout_ms, 20000U);
    tarnwick_options_init(nullptr);  // nothing to fill, nothing done
}

TEST_F(CApi, WithoutAServiceOpeningSaysWhy) {
    EXPECT_EQ(tarnwick_service_running(), 0);

    tarnwick_options options;
    tarnwick_options_init(&options);
    options.may_start = 0;
    tarnwick_client* client = reinterpret_cast<tarnwick_client*>(&options);  // must be reset
    EXPECT_EQ(tarnwick_open(&options, &client), TARNWICK_ERROR_SERVICE_NOT_RUNNING);
    EXPECT_EQ(client, nullptr);

    // Allowed to start it, but this namespace's service never ran: nothing names its program.
    options.may_start = 1;
    options.start_timeout_ms = 1000;
    EXPECT_EQ(tarnwick_open(&options, &client), TARNWICK_ERROR_START_FAILED);
    EXPECT_EQ(client, nullptr);

    EXPECT_EQ(tarnwick_open(&options, nullptr), TARNWICK_ERROR_INVALID_ARGUMENT);
}

TEST_F(CApi, NullOrDeadHandlesAndNullOutParametersAreRefused) {
    // A zeroed block stands for a handle that is not live (closed or of another kind): the
    // tag the library checks is not there.
    alignas(16) unsigned char zeros[256] = {};
    auto* dead_client = reinterpret_cast<tarnwick_client*>(zeros);
    auto* dead_watcher = reinterpret_cast<tarnwick_watcher*>(zeros);

    for (tarnwick_client* client : {static_cast<tarnwick_client*>(nullptr), dead_client}) {
        int flag = 0;
        int32_t value = 0;
        uint32_t error = 0;
        size_t needed = 0;
        size_t count = 0;
        char buffer[16];
        tarnwick_connection connection;
        tarnwick_rmc fix;
        tarnwick_watcher* watcher = nullptr;
        const std::vector<std::pair<const char*, std::function<tarnwick_error()>>> calls = {
            {"quit", [&] { return tarnwick_quit(client); }},
            {"enum_ports",
             [&] { return tarnwick_enum_ports(client, buffer, sizeof buffer, &needed, &count); }},
            {"connect", [&] { return tarnwick_connect(client, 0, &connection); }},
            {"connect_port",
             [&] { return tarnwick_connect_port(client, "COM1:", 4800, &flag, &error); }},
            {"disconnect", [&] { return tarnwick_disconnect(client); }},
            {"get_input_mode", [&] { return tarnwick_get_input_mode(client, &value); }},
            {"open_file", [&] { return tarnwick_open_file(client, "/tmp/x.nmea", 0, 1, &flag); }},
            {"start_write", [&] { return tarnwick_start_write(client, "/tmp/x.nmea", &flag); }},
            {"stop_write", [&] { return tarnwick_stop_write(client, &flag); }},
            {"get_valid_rmc", [&] { return tarnwick_get_valid_rmc(client, &fix, &flag); }},
            {"get_time_stamp_mode", [&] { return tarnwick_get_time_stamp_mode(client, &flag); }},
            {"restart_receiver", [&] { return tarnwick_restart_receiver(client, 1); }},
            {"get_connection", [&] { return tarnwick_get_connection(client, &connection); }},
            {"get_receiver", [&] { return tarnwick_get_receiver(client, &value); }},
            {"open_memory", [&] { return tarnwick_open_memory(client, "feed", &flag); }},
            {"set_receiver", [&] { return tarnwick_set_receiver(client, 3, &value); }},
            {"watcher_open", [&] { return tarnwick_watcher_open(client, &watcher); }},
        };
        for (const auto& [name, call] : calls) {
            EXPECT_EQ(call(), TARNWICK_ERROR_INVALID_ARGUMENT) << name;
        }
        EXPECT_EQ(watcher, nullptr);
    }
    tarnwick_close(nullptr);
    tarnwick_close(dead_client);
    tarnwick_watcher_close(nullptr);
    tarnwick_watcher_close(dead_watcher);

    for (tarnwick_watcher* watcher : {static_cast<tarnwick_watcher*>(nullptr), dead_watcher}) {
        tarnwick_message message;
        uint64_t lost = 0;
        char port[8];
        size_t needed = 0;
        size_t count = 0;
        EXPECT_EQ(tarnwick_watcher_next(watcher, 0, &message, &lost),
                  TARNWICK_ERROR_INVALID_ARGUMENT);
        EXPECT_EQ(tarnwick_watcher_summary_entry(watcher, 0, port, sizeof port, &needed, nullptr, 0,
                                                 &count),
                  TARNWICK_ERROR_INVALID_ARGUMENT);
    }
}

TEST_F(CApi, EveryCodeHasItsMessage) {
    const std::vector<std::pair<int, const char*>> codes = {
        {TARNWICK_OK, "no error"},
        {TARNWICK_ERROR_SERVICE_NOT_RUNNING, "the service is not running"},
        {TARNWICK_ERROR_START_FAILED, "could not be started"},
        {TARNWICK_ERROR_CHANNEL_FAILED, "channels could not be opened"},
        {TARNWICK_ERROR_REQUEST_TOO_LARGE, "does not fit"},
        {TARNWICK_ERROR_TIMED_OUT, "did not answer in time"},
        {TARNWICK_ERROR_MALFORMED_REQUEST, "not a whole sequence of requests"},
        {TARNWICK_ERROR_INVALID_ARGUMENT, "NULL"},
        {TARNWICK_ERROR_BUFFER_TOO_SMALL, "buffer is too small"},
        {TARNWICK_ERROR_OUT_OF_MEMORY, "out of memory"},
        {TARNWICK_ERROR_INTERNAL, "internal error"},
        {-1, "unknown error"},
        {7, "unknown error"},
        {1 << 30, "unknown error"},
    };
    for (const auto& [code, text] : codes) {
        const std::string message = tarnwick_error_message(code);
        EXPECT_NE(message.find(text), std::string::npos) << code << ": " << message;
    }
    EXPECT_STREQ(tarnwick_scan_event_name(TARNWICK_SCAN_END), "EndScan");
    EXPECT_STREQ(tarnwick_scan_event_name(0), "StartScan");
    EXPECT_STREQ(tarnwick_scan_event_name(18), "Unknown");
    EXPECT_STREQ(tarnwick_scan_event_name(-5), "Unknown");
}

}  // namespace
}  // namespace tarnwick::test
