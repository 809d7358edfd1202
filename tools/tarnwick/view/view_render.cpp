#include "tools/tarnwick/view/view_render.h"

#include <algorithm>
#include <iterator>

#include "client/protocol_codes.h"
#include "nmea/satellite_system.h"
#include "tools/tarnwick/view/view_text.h"

namespace tarnwick::cli::view {
namespace {

constexpr std::size_t label_width = 11;
// Where the second value of a line starts, after the label.
constexpr std::size_t value_width = 24;
constexpr int shown_notifications = 4;
// SNR that fills the whole bar; strong signals rarely pass 50 dB.
constexpr int full_bar_snr = 50;
constexpr int max_bar_width = 30;

std::string labelled(const char* label, const std::string& value) {
    return pad_right(label, label_width) + value;
}

// The fix of the latest RMC, when it has one.
const client::RMC* current_fix(const ViewState& state) {
    return state.latest_rmc && state.latest_rmc->status == 'A' ? &*state.latest_rmc : nullptr;
}

std::string speed_text(const ViewState& state) {
    const client::RMC* fix = current_fix(state);
    if (fix == nullptr) {
        return "--";
    }
    constexpr double km_per_nautical_mile = 1.852;
    const double knots = fix->speed;
    return format("%.1f kn   %.1f km/h", knots, knots * km_per_nautical_mile);
}

std::string course_text(const ViewState& state) {
    const client::RMC* fix = current_fix(state);
    return fix == nullptr ? "--" : format("%.1f°", static_cast<double>(fix->course));
}

std::string altitude_text(const ViewState& state) {
    if (!state.gga || state.gga->quality == 0) {
        return "--";
    }
    const char unit = state.gga->altitude_unit;
    return format("%.1f %s", static_cast<double>(state.gga->altitude),
                  unit == 'M' || unit == 0 ? "m" : std::string(1, unit).c_str());
}

bool dop_known(const ViewState& state) {
    return state.gsa && state.gsa->fix_type >= 2;
}

std::string dop_text(const ViewState& state) {
    if (!dop_known(state)) {
        return "--";
    }
    return format("PDOP %.2f   HDOP %.2f   VDOP %.2f", static_cast<double>(state.gsa->pdop),
                  static_cast<double>(state.gsa->hdop), static_cast<double>(state.gsa->vdop));
}

int used_count(const ViewState& state) {
    return static_cast<int>(std::count_if(state.satellites.begin(), state.satellites.end(),
                                          [](const SatelliteInView& s) { return s.used; }));
}

std::string angle_text(const std::optional<int>& degrees, int width) {
    return degrees ? format("%*d°", width, *degrees) : format("%*s ", width, "--");
}

std::string satellite_row(const SatelliteInView& satellite, int columns) {
    std::string row = format(" %c %4d  ", satellite.used ? '*' : ' ', satellite.prn) +
                      angle_text(satellite.elevation, 3) + "  " + angle_text(satellite.azimuth, 3) +
                      "  ";
    if (!satellite.snr) {
        return row + "  --";
    }
    row += format("%2d dB  ", *satellite.snr);
    const int bar_width =
        std::clamp(columns - static_cast<int>(display_width(row)), 0, max_bar_width);
    const int filled = std::min(bar_width, *satellite.snr * bar_width / full_bar_snr);
    for (int i = 0; i < filled; ++i) {
        row += "█";
    }
    return row;
}

std::string title_line(int columns) {
    const std::string title = "Tarnwick live view";
    const std::string hint = "Ctrl-C quits";
    const int gap = columns - static_cast<int>(title.size() + hint.size());
    return gap > 0 ? title + std::string(static_cast<std::size_t>(gap), ' ') + hint : title;
}

std::vector<std::string> fixed_lines(const ViewState& state, ScreenSize size,
                                     Clock::time_point now) {
    const client::Position* position = state.valid_fix ? &state.valid_fix->position : nullptr;
    const auto or_dash = [position](std::string (*text)(const client::Position&)) {
        return position != nullptr ? text(*position) : std::string("--");
    };
    std::string rule;
    for (int i = 0; i < std::min(size.columns, 72); ++i) {
        rule += "─";
    }
    return {
        title_line(size.columns),
        rule,
        labelled("UTC", state.latest_rmc ? date_time_text(*state.latest_rmc) : "--"),
        labelled("Fix", pad_right(fix_status_text(state), value_width) + "last fix " +
                            age_text(state, now)),
        labelled("Latitude",
                 pad_right(or_dash(latitude_degrees), value_width) + or_dash(latitude_raw)),
        labelled("Longitude",
                 pad_right(or_dash(longitude_degrees), value_width) + or_dash(longitude_raw)),
        labelled("Speed",
                 pad_right(speed_text(state), value_width) + "course " + course_text(state)),
        labelled("Altitude", altitude_text(state)),
        labelled("DOP", dop_text(state)),
        labelled("Input", input_text(state.input) + ", " + recording_text(state.input) +
                              (state.service_stopped ? "  (the service stopped)" : "")),
        "",
        labelled("Satellites",
                 format("%d in view, %d used in the fix (*)", state.in_view, used_count(state))),
        "    PRN  elev  azim   SNR",
    };
}

}  // namespace

std::vector<std::string> render_screen(const ViewState& state, ScreenSize size,
                                       Clock::time_point now) {
    std::vector<std::string> lines = fixed_lines(state, size, now);

    std::vector<std::string> notes;
    if (!state.notifications.empty()) {
        notes.emplace_back("");
        notes.emplace_back("Notifications");
        const auto shown =
            std::min<std::ptrdiff_t>(shown_notifications, std::ssize(state.notifications));
        for (auto it = state.notifications.end() - shown; it != state.notifications.end(); ++it) {
            notes.push_back("  " + pad_right(elapsed_text(now - it->at), 15) + it->text);
        }
    }

    const int room = size.rows - static_cast<int>(lines.size() + notes.size());
    // With the gnss setting on, each system's satellites come under a line of its name.
    struct Row {
        std::string text;
        bool satellite;
    };
    std::vector<Row> rows;
    int previous_system = 0;
    for (const SatelliteInView& satellite : state.satellites) {
        if (satellite.system != 0 && satellite.system != previous_system) {
            rows.push_back({format(" %s", nmea::satellite_system_name(satellite.system)), false});
        }
        previous_system = satellite.system;
        rows.push_back({satellite_row(satellite, size.columns), true});
    }
    const int all_rows = static_cast<int>(rows.size());
    const int listed = all_rows <= room ? all_rows : std::max(0, room - 1);
    int satellites_listed = 0;
    for (int i = 0; i < listed; ++i) {
        const Row& row = rows[static_cast<std::size_t>(i)];
        satellites_listed += row.satellite ? 1 : 0;
        lines.push_back(row.text);
    }
    if (listed < all_rows && room > 0) {
        lines.push_back(format("   ... and %d more",
                               static_cast<int>(state.satellites.size()) - satellites_listed));
    }
    lines.insert(lines.end(), notes.begin(), notes.end());

    lines.resize(std::min(lines.size(), static_cast<std::size_t>(std::max(size.rows, 0))));
    for (std::string& line : lines) {
        line = fit_width(line, static_cast<std::size_t>(std::max(size.columns, 0)));
    }
    return lines;
}

std::string render_summary_line(const ViewState& state, Clock::time_point now) {
    std::string line = state.latest_rmc ? date_time_text(*state.latest_rmc) + " UTC" : "--";
    line += "  " + fix_status_text(state);
    if (state.valid_fix) {
        const client::Position& position = state.valid_fix->position;
        line += "  " + latitude_degrees(position) + "  " + longitude_degrees(position);
    }
    if (current_fix(state) != nullptr) {
        line += "  " + speed_text(state) + "  course " + course_text(state);
    }
    if (state.gga && state.gga->quality != 0) {
        line += "  altitude " + altitude_text(state);
    }
    if (dop_known(state)) {
        line += format("  HDOP %.2f", static_cast<double>(state.gsa->hdop));
    }
    line += format("  satellites %d used / %d in view", used_count(state), state.in_view);
    line += "  last fix " + age_text(state, now);
    line += "  input " + input_text(state.input);
    if ((state.input.mode & client::input_recording) != 0) {
        line += ", recording";
    }
    return line;
}

std::string render_notification_line(const Notification& notification) {
    return "note: " + notification.text;
}

}  // namespace tarnwick::cli::view
