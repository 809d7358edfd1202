// The live view's model: the sample's epochs and the service's notifications folded into what
// the view shows.

#include "tools/tarnwick/view/view_model.h"

#include <gtest/gtest.h>

#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "tests/tools/sample_epochs.h"
#include "tests/tools/stream_messages.h"

namespace tarnwick::test {
namespace {

using cli::view::Change;
using cli::view::Clock;
using cli::view::ViewModel;
using namespace std::chrono_literals;

const Clock::time_point start{};

std::vector<Change> feed(ViewModel& model, const char* sentences, Clock::time_point at) {
    std::vector<Change> changes;
    for (const client::StreamMessage& message : messages_from_nmea(sentences)) {
        changes.push_back(model.apply(message, at));
    }
    return changes;
}

TEST(ViewModel, AnEpochWithAFixFillsEveryPart) {
    ViewModel model;
    const std::vector<Change> changes = feed(model, sample::first_epoch, start);
    // RMC, GGA, GSA, one GSV for the set of four, VTG.
    EXPECT_EQ(changes, (std::vector{Change::epoch, Change::detail, Change::detail, Change::detail,
                                    Change::nothing}));
    const auto& state = model.state();
    ASSERT_TRUE(state.valid_fix);
    EXPECT_EQ(state.valid_fix->position.lat_deg, 45);
    EXPECT_EQ(state.valid_fix_at, start);
    ASSERT_TRUE(state.gga);
    EXPECT_FLOAT_EQ(state.gga->altitude, 36.0F);
    EXPECT_EQ(state.in_view, 13);
    ASSERT_EQ(state.satellites.size(), 13U);
    EXPECT_EQ(state.satellites[0].prn, 2);
    EXPECT_EQ(state.satellites[0].elevation, 67);
    EXPECT_EQ(state.satellites[0].azimuth, 41);
    EXPECT_EQ(state.satellites[0].snr, 43);
    for (const auto& satellite : state.satellites) {
        EXPECT_EQ(satellite.used, satellite.prn != 26) << satellite.prn;
    }
}

TEST(ViewModel, WithoutAFixTheLastValidFixStaysAndNothingIsUsed) {
    ViewModel model;
    feed(model, sample::first_epoch, start);
    feed(model, sample::outage_epoch, start + 150s);
    const auto& state = model.state();
    EXPECT_EQ(state.latest_rmc->status, 'V');
    ASSERT_TRUE(state.valid_fix);
    EXPECT_EQ(state.valid_fix->time.minute, 30);
    EXPECT_EQ(state.valid_fix->time.second, 0.0F);
    EXPECT_EQ(state.valid_fix_at, start);
    EXPECT_EQ(state.in_view, 14);
    for (const auto& satellite : state.satellites) {
        EXPECT_FALSE(satellite.used) << satellite.prn;
        EXPECT_EQ(satellite.snr.has_value(), satellite.prn == 12) << satellite.prn;
    }
}

TEST(ViewModel, NotificationsAreWordedAndOnlyTheLatestKept) {
    struct Case {
        client::StreamMessage message;
        std::string text;
    };
    Case cases[] = {
        {notification_message(client::input_lost_id),
         "input lost: the service reconnects in the background"},
        {notification_message(client::input_ended_id), "input ended"},
        {notification_message(client::reconnected_id, client::input_serial),
         "reconnected: serial port"},
        {scan_message(0, L"", 0), "scan started"},
        {scan_message(client::scan_start_try_baud_rate, L"COM2:", 9600),
         "scan: COM2: at 9600 baud..."},
        {scan_message(client::scan_end_try_baud_rate, L"COM2:", -9600),
         "scan: nothing on COM2: at 9600 baud"},
        {scan_message(client::scan_end_try_baud_rate, L"COM2:", 4800),
         "scan: a receiver answers on COM2: at 4800 baud"},
        {scan_message(client::scan_end, L"", 0), "scan ended: no receiver found"},
        {scan_message(5, L"COM4:", 4800), "scan: GetCommStateFailed COM4: 4800"},
    };
    ViewModel model;
    for (const Case& c : cases) {
        ASSERT_EQ(c.message.id == -1, false);
        EXPECT_EQ(model.apply(c.message, start), Change::notification);
        EXPECT_EQ(model.state().notifications.back().text, c.text);
    }
    EXPECT_EQ(model.state().notifications.size(), ViewModel::kept_notifications);
    EXPECT_EQ(model.state().notifications.front().text, "input ended");

    model.messages_lost(3, start);
    EXPECT_EQ(model.state().notifications.back().text, "3 messages lost: the view fell behind");
    model.service_stopped(start);
    model.service_stopped(start);
    EXPECT_TRUE(model.state().service_stopped);
    EXPECT_EQ(model.state().notifications.back().text, "the service stopped");
    EXPECT_NE(model.state().notifications[ViewModel::kept_notifications - 2].text,
              "the service stopped");
}

TEST(ViewModel, TheInputCountsAsChangedOnlyWhenItDiffers) {
    ViewModel model;
    cli::view::InputState serial{true, client::input_serial, L"COM3:", 4800};
    EXPECT_TRUE(model.set_input(serial));
    EXPECT_FALSE(model.set_input(serial));
    serial.mode |= client::input_recording;
    EXPECT_TRUE(model.set_input(serial));
    EXPECT_EQ(model.state().input.port, L"COM3:");
}

}  // namespace
}  // namespace tarnwick::test
