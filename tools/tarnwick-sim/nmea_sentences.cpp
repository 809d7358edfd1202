#include "tools/tarnwick-sim/nmea_sentences.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <vector>

namespace tarnwick::sim {
namespace {

[[gnu::format(printf, 2, 3)]] void append_format(std::string& out, const char* format, ...) {
    char buffer[160];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length > 0) {
        out.append(buffer, std::min(static_cast<std::size_t>(length), sizeof buffer - 1));
    }
}

void append_time(std::string& out, const UtcTime& utc) {
    const long centiseconds = std::lround(utc.second * 100.0);
    append_format(out, "%02d%02d%02ld.%02ld", utc.hour, utc.minute, centiseconds / 100,
                  centiseconds % 100);
}

// ddmm.mmmmm or dddmm.mmmmm, then the hemisphere: rounding happens on whole 1e-5 minutes, so
// that 59.999999 minutes never prints as 60.
void append_coordinate(std::string& out, double value, int degree_digits, char positive,
                       char negative) {
    const long long units = std::llround(std::fabs(value) * 60.0 * 100000.0);
    const long long degrees = units / (60 * 100000);
    const long long minutes = units % (60 * 100000);
    append_format(out, "%0*lld%02lld.%05lld,%c", degree_digits, degrees, minutes / 100000,
                  minutes % 100000, value < 0 ? negative : positive);
}

void append_position(std::string& out, const Epoch& epoch) {
    if (!epoch.has_fix) {
        out += ",,,";
        return;
    }
    append_coordinate(out, epoch.latitude, 2, 'N', 'S');
    out += ',';
    append_coordinate(out, epoch.longitude, 3, 'E', 'W');
}

char mode_indicator(const Epoch& epoch) {
    return epoch.has_fix ? 'A' : 'N';
}

void append_rmc(std::string& out, const Epoch& epoch, const char* talker = "GP") {
    std::string body = std::string(talker) + "RMC,";
    append_time(body, epoch.utc);
    body += epoch.has_fix ? ",A," : ",V,";
    append_position(body, epoch);
    if (epoch.has_fix) {
        append_format(body, ",%.3f,%.2f,", epoch.speed_knots, epoch.course_true);
    } else {
        body += ",,,";
    }
    append_format(body, "%02d%02d%02d,%.1f,%c,%c", epoch.utc.day, epoch.utc.month,
                  epoch.utc.year % 100, std::fabs(epoch.magnetic_variation),
                  epoch.magnetic_variation < 0 ? 'W' : 'E', mode_indicator(epoch));
    append_sentence(out, body);
}

void append_gga(std::string& out, const Epoch& epoch, const char* talker = "GP") {
    std::string body = std::string(talker) + "GGA,";
    append_time(body, epoch.utc);
    body += ',';
    append_position(body, epoch);
    if (epoch.has_fix) {
        append_format(body, ",1,%02zu,%.2f,%.1f,M,%.1f,M,,", epoch.used_prns.size(), epoch.hdop,
                      epoch.altitude, epoch.geoid_separation);
    } else {
        body += ",0,00,,,M,,M,,";
    }
    append_sentence(out, body);
}

void append_gsa(std::string& out, const Epoch& epoch) {
    std::string body = "GPGSA,A,";
    body += epoch.has_fix ? '3' : '1';
    for (std::size_t slot = 0; slot < 12; ++slot) {
        body += ',';
        if (slot < epoch.used_prns.size()) {
            append_format(body, "%02d", epoch.used_prns[slot]);
        }
    }
    if (epoch.has_fix) {
        append_format(body, ",%.2f,%.2f,%.2f", epoch.pdop, epoch.hdop, epoch.vdop);
    } else {
        body += ",,,";
    }
    append_sentence(out, body);
}

void append_gsv(std::string& out, const Epoch& epoch) {
    const std::size_t in_view = epoch.in_view.size();
    const std::size_t total = in_view == 0 ? 1 : (in_view + 3) / 4;
    for (std::size_t number = 1; number <= total; ++number) {
        std::string body;
        append_format(body, "GPGSV,%zu,%zu,%02zu", total, number, in_view);
        for (std::size_t i = (number - 1) * 4; i < std::min(number * 4, in_view); ++i) {
            const SatelliteInView& satellite = epoch.in_view[i];
            append_format(body, ",%02d,%02d,%03d,", satellite.prn, satellite.elevation,
                          satellite.azimuth);
            if (satellite.snr > 0) {
                append_format(body, "%02d", satellite.snr);
            }
        }
        append_sentence(out, body);
    }
}

void append_vtg(std::string& out, const Epoch& epoch, const char* talker = "GP") {
    std::string body = std::string(talker) + "VTG,";
    if (epoch.has_fix) {
        const double magnetic =
            std::fmod(epoch.course_true - epoch.magnetic_variation + 360.0, 360.0);
        append_format(body, "%.2f,T,%.2f,M,%.3f,N,%.3f,K,A", epoch.course_true, magnetic,
                      epoch.speed_knots, epoch.speed_knots * 1.852);
    } else {
        body += ",T,,M,,N,,K,N";
    }
    append_sentence(out, body);
}

void append_gll(std::string& out, const Epoch& epoch, const char* talker = "GP") {
    std::string body = std::string(talker) + "GLL,";
    append_position(body, epoch);
    body += ',';
    append_time(body, epoch.utc);
    append_format(body, ",%c,%c", epoch.has_fix ? 'A' : 'V', mode_indicator(epoch));
    append_sentence(out, body);
}

// A multi-system receiver of NMEA 4.11. The scenario's satellites are GPS; GLONASS, Galileo
// and BeiDou add nine each, spread over the sky and moving with the epoch's time.
struct GnssSystem {
    const char* talker;
    int system_id;
    int first_prn;  // GLONASS keeps its 65-96 numbering in 4.11
    int second_signal;
};
constexpr GnssSystem other_systems[] = {{"GL", 2, 65, 3}, {"GA", 3, 1, 7}, {"GB", 4, 1, 5}};
constexpr int other_in_view = 9;
constexpr int used_per_other_system = 4;

std::vector<SatelliteInView> sky_of(const GnssSystem& system, const Epoch& epoch,
                                    std::size_t index) {
    std::vector<SatelliteInView> sky;
    const int drift = (epoch.utc.minute * 60 + static_cast<int>(epoch.utc.second)) / 30;
    for (int i = 0; i < other_in_view; ++i) {
        SatelliteInView satellite;
        satellite.prn = system.first_prn + 2 * i + static_cast<int>(index);
        satellite.elevation = 10 + (i * 37 + static_cast<int>(index) * 11) % 75;
        satellite.azimuth = (i * 40 + static_cast<int>(index) * 25 + drift) % 360;
        satellite.snr = epoch.has_fix ? 22 + (i * 7 + static_cast<int>(index) * 5) % 26 : 0;
        sky.push_back(satellite);
    }
    return sky;
}

void append_gnss_gsv(std::string& out, const char* talker, const std::vector<SatelliteInView>& sky,
                     int signal, int snr_loss) {
    const std::size_t in_view = sky.size();
    const std::size_t total = in_view == 0 ? 1 : (in_view + 3) / 4;
    for (std::size_t number = 1; number <= total; ++number) {
        std::string body;
        append_format(body, "%sGSV,%zu,%zu,%02zu", talker, total, number, in_view);
        for (std::size_t i = (number - 1) * 4; i < std::min(number * 4, in_view); ++i) {
            const SatelliteInView& satellite = sky[i];
            append_format(body, ",%02d,%02d,%03d,", satellite.prn, satellite.elevation,
                          satellite.azimuth);
            if (satellite.snr > snr_loss) {
                append_format(body, "%02d", satellite.snr - snr_loss);
            }
        }
        append_format(body, ",%X", signal);
        append_sentence(out, body);
    }
}

void append_gnss_gsa(std::string& out, const Epoch& epoch, const std::vector<int>& used,
                     int system_id) {
    std::string body = "GNGSA,A,";
    body += epoch.has_fix ? '3' : '1';
    for (std::size_t slot = 0; slot < 12; ++slot) {
        body += ',';
        if (epoch.has_fix && slot < used.size()) {
            append_format(body, "%02d", used[slot]);
        }
    }
    if (epoch.has_fix) {
        append_format(body, ",%.2f,%.2f,%.2f", epoch.pdop, epoch.hdop, epoch.vdop);
    } else {
        body += ",,,";
    }
    append_format(body, ",%X", system_id);
    append_sentence(out, body);
}

void append_gnss_epoch(std::string& out, const Epoch& epoch) {
    std::string rmc;
    append_rmc(rmc, epoch, "GN");
    // 4.11 adds the navigational status after the mode indicator: V, no status to report.
    const std::size_t star = rmc.rfind('*');
    append_sentence(out, rmc.substr(1, star - 1) + ",V");
    append_gga(out, epoch, "GN");
    append_gnss_gsa(out, epoch, epoch.used_prns, 1);
    std::vector<std::vector<SatelliteInView>> skies;
    for (std::size_t i = 0; i < std::size(other_systems); ++i) {
        skies.push_back(sky_of(other_systems[i], epoch, i));
        std::vector<int> used;
        for (int k = 0; k < used_per_other_system; ++k) {
            used.push_back(skies.back()[static_cast<std::size_t>(k)].prn);
        }
        append_gnss_gsa(out, epoch, used, other_systems[i].system_id);
    }
    append_gnss_gsv(out, "GP", epoch.in_view, 1, 0);
    append_gnss_gsv(out, "GP", epoch.in_view, 8, 3);
    for (std::size_t i = 0; i < std::size(other_systems); ++i) {
        append_gnss_gsv(out, other_systems[i].talker, skies[i], 1, 0);
        append_gnss_gsv(out, other_systems[i].talker, skies[i], other_systems[i].second_signal, 4);
    }
    append_vtg(out, epoch, "GN");
    append_gll(out, epoch, "GN");
}

}  // namespace

std::string nmea_checksum(std::string_view body) {
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[sum >> 4], digits[sum & 0xF]};
}

void append_sentence(std::string& out, std::string_view body) {
    out += '$';
    out += body;
    out += '*';
    out += nmea_checksum(body);
    out += "\r\n";
}

void append_epoch_sentences(std::string& out, const Epoch& epoch, SentenceSet set) {
    if (set == SentenceSet::gnss) {
        append_gnss_epoch(out, epoch);
        return;
    }
    append_rmc(out, epoch);
    append_gga(out, epoch);
    append_gsa(out, epoch);
    append_gsv(out, epoch);
    append_vtg(out, epoch);
    append_gll(out, epoch);
}

}  // namespace tarnwick::sim
