// The live view's text: the sample's epochs rendered as the full screen and as plain lines.

#include "tools/tarnwick/view/view_render.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "client/protocol_codes.h"
#include "tests/tools/sample_epochs.h"
#include "tests/tools/stream_messages.h"
#include "tools/tarnwick/view/view_model.h"
#include "tools/tarnwick/view/view_text.h"

namespace tarnwick::test {
namespace {

using cli::view::Clock;
using cli::view::ScreenSize;
using cli::view::ViewModel;
using namespace std::chrono_literals;

const Clock::time_point start{};

void feed(ViewModel& model, const char* sentences, Clock::time_point at) {
    for (const client::StreamMessage& message : messages_from_nmea(sentences)) {
        model.apply(message, at);
    }
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

// The line that starts with `label`, or an empty one.
std::string line_of(const std::vector<std::string>& lines, const std::string& label) {
    const auto it = std::find_if(lines.begin(), lines.end(),
                                 [&](const std::string& line) { return line.starts_with(label); });
    return it == lines.end() ? std::string() : *it;
}

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

ViewModel first_epoch_model() {
    ViewModel model;
    feed(model, sample::first_epoch, start);
    model.set_input({true, client::input_file, L"", 0});
    return model;
}

TEST(ViewRender, TheScreenShowsTheSamplesFirstFix) {
    const ViewModel model = first_epoch_model();
    const auto lines = cli::view::render_screen(model.state(), {40, 80}, start + 2s);
    const std::string screen = joined(lines);
    struct Expected {
        const char* label;
        const char* fragments[3];
    };
    const Expected expected[] = {
        {"UTC", {"2026-03-14  09:30:00"}},
        {"Fix", {"3D fix", "last fix 2 s ago"}},
        {"Latitude", {"45.50170° N", "45°30.102' N"}},
        {"Longitude", {"73.56730° W", "73°34.038' W"}},
        {"Speed", {"0.0 kn", "0.0 km/h", "course 62.0°"}},
        {"Altitude", {"36.0 m"}},
        {"DOP", {"PDOP 1.87", "HDOP 1.10", "VDOP 1.51"}},
        {"Input", {"file replay, not recording"}},
        {"Satellites", {"13 in view, 12 used"}},
    };
    for (const Expected& e : expected) {
        const std::string line = line_of(lines, e.label);
        for (const char* fragment : e.fragments) {
            if (fragment != nullptr) {
                EXPECT_NE(line.find(fragment), std::string::npos)
                    << e.label << " lacks " << fragment << "\n"
                    << screen;
            }
        }
    }
    // PRN 2 is used, at 43 dB: 43 / 50 of a 30-character bar. PRN 26 is not used.
    EXPECT_NE(screen.find(" *    2   67°   41°  43 dB  " + repeated("█", 25) + "\n"),
              std::string::npos)
        << screen;
    EXPECT_NE(screen.find("     26    7°  230°  25 dB"), std::string::npos) << screen;
}

TEST(ViewRender, AMovingFixShowsSpeedInKnotsAndKilometres) {
    ViewModel model = first_epoch_model();
    feed(model, sample::second_rmc, start + 1s);
    const auto lines = cli::view::render_screen(model.state(), {40, 80}, start + 1s);
    EXPECT_EQ(line_of(lines, "Speed"), "Speed      3.5 kn   6.5 km/h       course 70.5°");
    EXPECT_EQ(line_of(lines, "Fix"), "Fix        3D fix                  last fix 0 s ago");
}

TEST(ViewRender, WithoutAFixTheLastPositionStaysAndTheRestIsDashed) {
    ViewModel model = first_epoch_model();
    feed(model, sample::outage_epoch, start + 150s);
    const auto lines = cli::view::render_screen(model.state(), {40, 80}, start + 155s);
    EXPECT_EQ(line_of(lines, "Fix"), "Fix        no fix                  last fix 2 min 35 s ago");
    EXPECT_NE(line_of(lines, "Latitude").find("45°30.102' N"), std::string::npos);
    EXPECT_EQ(line_of(lines, "Speed"), "Speed      --                      course --");
    EXPECT_EQ(line_of(lines, "Altitude"), "Altitude   --");
    EXPECT_EQ(line_of(lines, "DOP"), "DOP        --");
    EXPECT_NE(line_of(lines, "Satellites").find("14 in view, 0 used"), std::string::npos);
    const std::string screen = joined(lines);
    EXPECT_NE(screen.find("     24    6°  319°    --\n"), std::string::npos) << screen;
}

TEST(ViewRender, BeforeAnyDataTheScreenWaits) {
    const auto lines = cli::view::render_screen({}, {24, 80}, start);
    EXPECT_NE(line_of(lines, "Fix").find("waiting for data"), std::string::npos);
    EXPECT_NE(line_of(lines, "Fix").find("last fix none yet"), std::string::npos);
    EXPECT_NE(line_of(lines, "Input").find("asking the service"), std::string::npos);
}

TEST(ViewRender, TheScreenFitsItsSizeAndSaysWhatItLeftOut) {
    ViewModel model = first_epoch_model();
    model.apply(notification_message(client::input_lost_id), start);
    struct Case {
        ScreenSize size;
        const char* left_out;  // null: every satellite is listed
    };
    const Case cases[] = {
        {{60, 100}, nullptr},
        {{24, 80}, "... and 6 more"},
        {{10, 30}, nullptr},
        {{1, 5}, nullptr},
    };
    for (const Case& c : cases) {
        const auto lines = cli::view::render_screen(model.state(), c.size, start + 5s);
        const std::string screen = joined(lines);
        EXPECT_LE(lines.size(), static_cast<std::size_t>(c.size.rows)) << screen;
        for (const std::string& line : lines) {
            EXPECT_LE(cli::view::display_width(line), static_cast<std::size_t>(c.size.columns))
                << line;
        }
        if (c.left_out != nullptr) {
            EXPECT_NE(screen.find(c.left_out), std::string::npos) << screen;
        }
        if (c.size.rows >= 24) {
            EXPECT_NE(screen.find("\n  5 s ago        input lost: the service reconnects"),
                      std::string::npos)
                << screen;
        }
    }
}

TEST(ViewRender, PlainLinesSumUpAnEpochAndANotification) {
    ViewModel model = first_epoch_model();
    EXPECT_EQ(cli::view::render_summary_line(model.state(), start + 1s),
              "2026-03-14  09:30:00 UTC  3D fix  45.50170° N  73.56730° W  0.0 kn   0.0 km/h"
              "  course 62.0°  altitude 36.0 m  HDOP 1.10  satellites 12 used / 13 in view"
              "  last fix 1 s ago  input file replay");
    model.set_input({true, client::input_serial | client::input_recording, L"COM1:", 4800});
    feed(model, sample::outage_epoch, start + 150s);
    EXPECT_EQ(cli::view::render_summary_line(model.state(), start + 150s),
              "2026-03-14  09:32:30 UTC  no fix  45.50170° N  73.56730° W"
              "  satellites 0 used / 14 in view  last fix 2 min 30 s ago"
              "  input serial port COM1: at 4800 baud, recording");
    model.apply(notification_message(client::input_ended_id), start);
    EXPECT_EQ(cli::view::render_notification_line(model.state().notifications.back()),
              "note: input ended");
}

TEST(ViewText, WidthsCountCharactersNotBytes) {
    EXPECT_EQ(cli::view::display_width("45°30' █"), 8U);
    EXPECT_EQ(cli::view::fit_width("45°30' █", 3), "45°");
    EXPECT_EQ(cli::view::fit_width("abc", 10), "abc");
    EXPECT_EQ(cli::view::fit_width("abc", 0), "");
}

}  // namespace
}  // namespace tarnwick::test
