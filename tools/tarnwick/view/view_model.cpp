#include "tools/tarnwick/view/view_model.h"

#include <algorithm>
#include <variant>

#include "base/utf8.h"
#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "tools/tarnwick/view/view_text.h"

namespace tarnwick::cli::view {
namespace {

std::optional<int> known(unsigned value, unsigned empty) {
    return value == empty ? std::nullopt : std::optional<int>(static_cast<int>(value));
}

std::string scan_text(const client::ScanEvent& scan) {
    const std::string port = tarnwick::to_utf8(scan.port);
    switch (scan.code) {
        case 0:
            return "scan started";
        case client::scan_start_port_scan:
            return "scan: probing " + port;
        case client::scan_create_file_failed:
            return "scan: " + port + " cannot be opened";
        case client::scan_start_try_baud_rate:
            return "scan: " + port + format(" at %d baud...", scan.value);
        case client::scan_end_try_baud_rate:
            return scan.value > 0
                       ? "scan: a receiver answers on " + port + format(" at %d baud", scan.value)
                       : "scan: nothing on " + port + format(" at %d baud", -scan.value);
        case client::scan_end_port_scan:
            return "scan: " + port + " done";
        case client::scan_end: {
            if (scan.summary.empty()) {
                return "scan ended: no receiver found";
            }
            std::string text = "scan ended, found:";
            for (const client::ScanPortRates& found : scan.summary) {
                text += ' ';
                text += tarnwick::to_utf8(found.port);
                for (const std::int32_t rate : found.rates) {
                    text += format(" %d", rate);
                }
            }
            return text;
        }
        default:
            break;
    }
    std::string text = std::string("scan: ") + client::scan_event_name(scan.code);
    if (!port.empty()) {
        text += " " + port;
    }
    return scan.value != 0 ? text + format(" %d", scan.value) : text;
}

}  // namespace

std::string notification_text(const client::StreamMessage& message) {
    switch (message.id) {
        case client::scan_event_id:
            return scan_text(message.scan);
        case client::input_lost_id:
            return "input lost: the service reconnects in the background";
        case client::input_ended_id:
            return "input ended";
        case client::reconnected_id:
            return "reconnected: " + input_kind_text(message.input_mode);
        default:
            return {};
    }
}

Change ViewModel::apply(const client::StreamMessage& message, Clock::time_point now) {
    if (!message.record) {
        std::string text = notification_text(message);
        if (text.empty()) {
            return Change::nothing;
        }
        notify(std::move(text), now);
        return Change::notification;
    }
    const client::Record& record = *message.record;
    if (const auto* rmc = std::get_if<client::RMC>(&record)) {
        take_rmc(*rmc, now);
        return Change::epoch;
    }
    if (const auto* gga = std::get_if<client::GGA>(&record)) {
        state_.gga = *gga;
        return Change::detail;
    }
    if (const auto* gsa = std::get_if<client::GSA>(&record)) {
        state_.gsa = *gsa;
        take_gsa_systems();
        mark_used_satellites();
        return Change::detail;
    }
    if (const auto* systems = std::get_if<client::GSASystems>(&record)) {
        state_.next_gsa_systems = *systems;
        return Change::nothing;
    }
    if (const auto* gsv = std::get_if<client::GSV>(&record)) {
        take_gsv(*gsv);
        return Change::detail;
    }
    return Change::nothing;
}

void ViewModel::take_rmc(const client::RMC& rmc, Clock::time_point now) {
    state_.latest_rmc = rmc;
    if (rmc.status == 'A') {
        state_.valid_fix = rmc;
        state_.valid_fix_at = now;
    }
}

void ViewModel::take_gsv(const client::GSV& gsv) {
    std::vector<SatelliteInView> taken;
    bool tagged = false;
    for (const client::Satellite& satellite : gsv.satellites) {
        if (satellite.prn == TARNWICK_EMPTY) {
            continue;
        }
        SatelliteInView seen;
        seen.prn = satellite.prn;
        seen.elevation = known(satellite.elevation, TARNWICK_EMPTY);
        seen.azimuth = known(satellite.azimuth, TARNWICK_EMPTY_AZIMUTH);
        seen.snr = known(satellite.snr, TARNWICK_EMPTY);
        seen.system = satellite.tag >> 4;
        seen.signal = satellite.tag & 0x0F;
        tagged = tagged || satellite.tag != 0;
        taken.push_back(seen);
    }
    if (tagged) {
        take_gnss_set(taken);
    } else {
        state_.in_view = gsv.in_view;
        state_.satellites = std::move(taken);
    }
    mark_used_satellites();
}

void ViewModel::take_gnss_set(const std::vector<SatelliteInView>& taken) {
    // A set of the combined talker may hold several systems: each keeps its own slot.
    std::map<int, std::vector<SatelliteInView>> arrived;
    for (const SatelliteInView& satellite : taken) {
        arrived[satellite.system * 16 + satellite.signal].push_back(satellite);
    }
    for (auto& [key, satellites] : arrived) {
        state_.gnss_sets[key] = std::move(satellites);
    }
    std::map<std::pair<int, int>, SatelliteInView> merged;
    for (const auto& [key, satellites] : state_.gnss_sets) {
        for (const SatelliteInView& satellite : satellites) {
            auto [at, fresh] = merged.try_emplace({satellite.system, satellite.prn}, satellite);
            if (!fresh && satellite.snr.value_or(-1) > at->second.snr.value_or(-1)) {
                at->second = satellite;
            }
        }
    }
    state_.satellites.clear();
    for (const auto& [id, satellite] : merged) {
        state_.satellites.push_back(satellite);
    }
    state_.in_view = static_cast<int>(state_.satellites.size());
}

void ViewModel::take_gsa_systems() {
    if (!state_.next_gsa_systems) {
        return;
    }
    std::map<int, std::vector<int>> listed;
    const int slots = std::clamp<int>(state_.gsa->prn_count, 0, TARNWICK_SLOTS);
    for (int i = 0; i < slots; ++i) {
        const int system = state_.next_gsa_systems->system[i];
        if (system != 0 && state_.gsa->prn[i] != TARNWICK_EMPTY) {
            listed[system].push_back(state_.gsa->prn[i]);
        }
    }
    // Each system's GSA replaces that system's list. (A GSA with no satellite at all tells no
    // system and changes nothing.)
    for (auto& [system, prns] : listed) {
        state_.used_by_system[system] = std::move(prns);
    }
    state_.next_gsa_systems.reset();
}

void ViewModel::mark_used_satellites() {
    for (SatelliteInView& satellite : state_.satellites) {
        satellite.used = false;
        if (!state_.gsa || state_.gsa->fix_type < 2) {
            continue;
        }
        if (satellite.system != 0) {
            const auto listed = state_.used_by_system.find(satellite.system);
            satellite.used = listed != state_.used_by_system.end() &&
                             std::find(listed->second.begin(), listed->second.end(),
                                       satellite.prn) != listed->second.end();
            continue;
        }
        const int slots = std::clamp<int>(state_.gsa->prn_count, 0, TARNWICK_SLOTS);
        const std::uint8_t* const first = state_.gsa->prn;
        const std::uint8_t* const last = first + slots;
        satellite.used = std::find(first, last, satellite.prn) != last;
    }
}

void ViewModel::messages_lost(std::uint64_t count, Clock::time_point now) {
    notify(
        format("%llu messages lost: the view fell behind", static_cast<unsigned long long>(count)),
        now);
}

bool ViewModel::set_input(const InputState& input) {
    InputState& current = state_.input;
    if (current.known == input.known && current.mode == input.mode && current.port == input.port &&
        current.baud == input.baud) {
        return false;
    }
    current = input;
    return true;
}

void ViewModel::service_stopped(Clock::time_point now) {
    if (!state_.service_stopped) {
        state_.service_stopped = true;
        notify("the service stopped", now);
    }
}

void ViewModel::notify(std::string text, Clock::time_point now) {
    state_.notifications.push_back({std::move(text), now});
    while (state_.notifications.size() > kept_notifications) {
        state_.notifications.pop_front();
    }
}

}  // namespace tarnwick::cli::view
