#include "tools/tarnwick/view/view_text.h"

#include "base/utf8.h"
#include "client/protocol_codes.h"

namespace tarnwick::cli::view {
namespace {

std::string degrees_text(std::int32_t degrees, float minutes, char hemisphere) {
    if (hemisphere == 0) {
        return "--";
    }
    // Five decimals (about a metre): the minutes arrive in single precision, so further digits
    // would only show rounding noise.
    return format("%.5f° %c", degrees + static_cast<double>(minutes) / 60.0, hemisphere);
}

std::string raw_text(std::int32_t degrees, float minutes, char hemisphere) {
    if (hemisphere == 0) {
        return "--";
    }
    return format("%d°%06.3f' %c", degrees, static_cast<double>(minutes), hemisphere);
}

}  // namespace

std::string date_time_text(const client::RMC& rmc) {
    const std::string date =
        rmc.day == 0 ? std::string("----------")
                     : format("20%02d-%02d-%02d", int{rmc.year}, int{rmc.month}, int{rmc.day});
    // Whole seconds: the sample's and most receivers' fractions are zero, and a ticking
    // fraction only makes the screen flicker.
    return date + format("  %02u:%02u:%02u", unsigned{rmc.time.hour}, unsigned{rmc.time.minute},
                         static_cast<unsigned>(rmc.time.second));
}

std::string latitude_degrees(const client::Position& position) {
    return degrees_text(position.lat_deg, position.lat_min, position.lat_hemi);
}

std::string longitude_degrees(const client::Position& position) {
    return degrees_text(position.lon_deg, position.lon_min, position.lon_hemi);
}

std::string latitude_raw(const client::Position& position) {
    return raw_text(position.lat_deg, position.lat_min, position.lat_hemi);
}

std::string longitude_raw(const client::Position& position) {
    return raw_text(position.lon_deg, position.lon_min, position.lon_hemi);
}

std::string fix_status_text(const ViewState& state) {
    if (!state.latest_rmc) {
        return "waiting for data";
    }
    if (state.latest_rmc->status != 'A') {
        return "no fix";
    }
    std::string text = "fix";
    if (state.gsa && state.gsa->fix_type >= 2 && state.gsa->fix_type <= 3) {
        text = format("%dD fix", state.gsa->fix_type);
    }
    if (state.gga && state.gga->quality == 2) {
        text += " (DGPS)";
    }
    return text;
}

std::string elapsed_text(Clock::duration elapsed) {
    const long long seconds =
        std::max<long long>(0, std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    if (seconds < 60) {
        return format("%lld s ago", seconds);
    }
    if (seconds < 3600) {
        return format("%lld min %lld s ago", seconds / 60, seconds % 60);
    }
    return format("%lld h %lld min ago", seconds / 3600, seconds / 60 % 60);
}

std::string age_text(const ViewState& state, Clock::time_point now) {
    return state.valid_fix_at ? elapsed_text(now - *state.valid_fix_at) : "none yet";
}

std::string input_kind_text(std::int32_t mode) {
    if ((mode & client::input_serial) != 0) {
        return "serial port";
    }
    if ((mode & client::input_file) != 0) {
        return "file replay";
    }
    if ((mode & client::input_memory) != 0) {
        return "shared memory";
    }
    return "no input";
}

std::string input_text(const InputState& input) {
    if (!input.known) {
        return "asking the service...";
    }
    std::string text = input_kind_text(input.mode);
    if ((input.mode & client::input_serial) != 0 && !input.port.empty()) {
        text += ' ';
        text += tarnwick::to_utf8(input.port);
        text += format(" at %d baud", input.baud);
    }
    return text;
}

std::string recording_text(const InputState& input) {
    return (input.mode & client::input_recording) != 0 ? "recording" : "not recording";
}

std::size_t display_width(const std::string& text) {
    std::size_t width = 0;
    for (const char c : text) {
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return width;
}

std::string fit_width(const std::string& text, std::size_t columns) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (width == columns) {
                return text.substr(0, i);
            }
            ++width;
        }
    }
    return text;
}

std::string pad_right(const std::string& text, std::size_t columns) {
    const std::size_t width = display_width(text);
    return width >= columns ? text : text + std::string(columns - width, ' ');
}

}  // namespace tarnwick::cli::view
