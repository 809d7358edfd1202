#pragma once
// What the live view shows, folded from the data stream and the service's answers. Plain data:
// the view model (view_model.h) writes it, the renderers (view_render.h) read it.

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "client/records.h"

namespace tarnwick::cli::view {

using Clock = std::chrono::steady_clock;

struct SatelliteInView {
    int prn = 0;
    std::optional<int> elevation;  // degrees
    std::optional<int> azimuth;    // degrees
    std::optional<int> snr;        // dB; none while the satellite is not tracked
    bool used = false;             // listed by the last GSA
    // With the service's gnss setting on: the satellite's system (nmea/satellite_system.h) and
    // the signal it was last seen on; 0 otherwise.
    int system = 0;
    int signal = 0;
};

// The input as the service describes it (GetInputMode, GetConnection).
struct InputState {
    bool known = false;  // false until the service first answered
    std::int32_t mode = 0;
    std::wstring port;  // serial input only
    std::int32_t baud = 0;
};

struct Notification {
    std::string text;
    Clock::time_point at;
};

struct ViewState {
    // The latest RMC: time, date and fix status. Its position is stale while the status is V.
    std::optional<client::RMC> latest_rmc;
    // The latest RMC with status A, and when it came.
    std::optional<client::RMC> valid_fix;
    std::optional<Clock::time_point> valid_fix_at;
    std::optional<client::GGA> gga;
    std::optional<client::GSA> gsa;

    // The latest complete GSV set; with the gnss setting on, every system's latest sets merged,
    // each satellite once (its strongest signal), ordered by system and number.
    int in_view = 0;
    std::vector<SatelliteInView> satellites;
    // gnss setting: the latest set of each system and signal (key system × 16 + signal), the
    // systems announced for the next GSA, and the satellites each system's GSA lists.
    std::map<int, std::vector<SatelliteInView>> gnss_sets;
    std::optional<client::GSASystems> next_gsa_systems;
    std::map<int, std::vector<int>> used_by_system;

    InputState input;
    bool service_stopped = false;

    // Newest last; the model keeps the few latest.
    std::deque<Notification> notifications;
};

}  // namespace tarnwick::cli::view
