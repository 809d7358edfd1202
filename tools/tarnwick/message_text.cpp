#include <algorithm>
#include <cstdio>
#include <variant>

#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "nmea/satellite_system.h"
#include "tools/tarnwick/message_format.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

std::string printf_string(const char* format, auto... values) {
    char text[256];
    const int length = std::snprintf(text, sizeof text, format, values...);
    return std::string(text, length < 0 ? 0 : std::min<std::size_t>(length, sizeof text - 1));
}

char shown(char c) {
    return c == 0 ? '-' : c;
}

std::string time_text(const client::Time& time) {
    return printf_string("%02u:%02u:%06.3f", unsigned{time.hour}, unsigned{time.minute},
                         static_cast<double>(time.second));
}

std::string position_text(const client::Position& p) {
    return printf_string("%d°%07.4f' %c  %d°%07.4f' %c", p.lat_deg, static_cast<double>(p.lat_min),
                         shown(p.lat_hemi), p.lon_deg, static_cast<double>(p.lon_min),
                         shown(p.lon_hemi));
}

std::string record_text(const client::GGA& r) {
    return "GGA   " + time_text(r.time) + "  " + position_text(r.position) +
           printf_string("  quality %d  %d satellites  hdop %.1f  altitude %.1f %c", r.quality,
                         int{r.satellites}, static_cast<double>(r.hdop),
                         static_cast<double>(r.altitude), shown(r.altitude_unit));
}

std::string record_text(const client::GLL& r) {
    return "GLL   " + time_text(r.time) + "  " + position_text(r.position) +
           printf_string("  status %c", shown(r.status));
}

std::string record_text(const client::GSA& r) {
    std::string used;
    for (int i = 0; i < r.prn_count && i < TARNWICK_SLOTS; ++i) {
        if (r.prn[i] != TARNWICK_EMPTY) {
            used += printf_string(" %u", unsigned{r.prn[i]});
        }
    }
    return printf_string("GSA   mode %c  fix %dD  pdop %.1f hdop %.1f vdop %.1f  used:",
                         shown(r.mode), r.fix_type, static_cast<double>(r.pdop),
                         static_cast<double>(r.hdop), static_cast<double>(r.vdop)) +
           used;
}

std::string record_text(const client::GSV& r) {
    std::string satellites;
    for (const client::Satellite& s : r.satellites) {
        if (s.prn == TARNWICK_EMPTY) {
            continue;
        }
        // Only the gnss setting tags satellites: the system's letter before the number.
        if (s.tag != 0) {
            satellites +=
                printf_string(" %c%u", nmea::satellite_system_letter(s.tag >> 4), unsigned{s.prn});
        } else {
            satellites += printf_string(" %u", unsigned{s.prn});
        }
        if (s.snr != TARNWICK_EMPTY) {
            satellites += printf_string("(%udB)", unsigned{s.snr});
        }
    }
    const std::uint8_t tag = r.satellites[0].tag;
    const std::string signal =
        tag != 0 ? printf_string(" signal %u", unsigned{tag & 0x0Fu}) : std::string();
    return printf_string("GSV   %d in view%s:", r.in_view, signal.c_str()) + satellites;
}

std::string record_text(const client::RMC& r) {
    return "RMC   " + fix_text(r) + printf_string("  status %c", shown(r.status));
}

std::string record_text(const client::VTG& r) {
    return printf_string("VTG   course %.1f° true  %.1f kn  %.1f km/h",
                         static_cast<double>(r.course_true), static_cast<double>(r.speed_knots),
                         static_cast<double>(r.speed_kmh));
}

std::string record_text(const client::PORZA& r) {
    return printf_string("PORZA %d %d %d", r.param1, r.param2, r.param3);
}

std::string record_text(const client::PORZX& r) {
    return printf_string("PORZX receiver %d", r.receiver);
}

std::string record_text(const client::GSASystems& r) {
    std::string systems;
    for (const std::uint8_t system : r.system) {
        if (system != 0) {
            systems += printf_string(" %s", nmea::satellite_system_name(system));
        }
    }
    return "GSA   systems of the next GSA:" + systems;
}

std::string scan_text(const client::ScanEvent& scan) {
    std::string text = std::string("scan  ") + client::scan_event_name(scan.code);
    if (!scan.port.empty()) {
        text += " " + narrow(scan.port);
    }
    if (scan.value != 0) {
        text += printf_string(" %d", scan.value);
    }
    for (const client::ScanPortRates& port : scan.summary) {
        text += "  " + narrow(port.port) + ":";
        for (const std::int32_t rate : port.rates) {
            text += printf_string(" %d", rate);
        }
    }
    return text;
}

}  // namespace

std::string input_mode_text(std::int32_t mode) {
    std::string text;
    if ((mode & client::input_serial) != 0) {
        text = "serial port";
    } else if ((mode & client::input_file) != 0) {
        text = "file replay";
    } else if ((mode & client::input_memory) != 0) {
        text = "shared memory";
    } else {
        return "none";
    }
    if ((mode & client::input_recording) != 0) {
        text += ", recording";
    }
    return text;
}

std::string fix_text(const client::RMC& fix) {
    return printf_string("20%02d-%02d-%02d ", int{fix.year}, int{fix.month}, int{fix.day}) +
           time_text(fix.time) + " UTC  " + position_text(fix.position) +
           printf_string("  %.1f kn  course %.1f°", static_cast<double>(fix.speed),
                         static_cast<double>(fix.course));
}

std::string message_text(const client::StreamMessage& message) {
    if (message.record) {
        std::string text =
            std::visit([](const auto& r) { return record_text(r); }, *message.record);
        if (message.tick) {
            text += printf_string("  tick %u", *message.tick);
        }
        return text;
    }
    switch (message.id) {
        case client::scan_event_id:
            return scan_text(message.scan);
        case client::input_lost_id:
            return "input lost: the service reconnects in the background";
        case client::input_ended_id:
            return "input ended";
        case client::reconnected_id:
            return "reconnected: input " + input_mode_text(message.input_mode);
        default:
            return printf_string("message %d", message.id);
    }
}

}  // namespace tarnwick::cli
