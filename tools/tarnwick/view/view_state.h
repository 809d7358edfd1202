#pragma once
// What the live view shows, folded from the data stream and the service's answers. Plain data:
// the view model (view_model.h) writes it, the renderers (view_render.h) read it.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "nmea/gga_record.h"
#include "nmea/gsa_record.h"
#include "nmea/rmc_record.h"

namespace tarnwick::cli::view {

using Clock = std::chrono::steady_clock;

struct SatelliteInView {
    int prn = 0;
    std::optional<int> elevation;  // degrees
    std::optional<int> azimuth;    // degrees
    std::optional<int> snr;        // dB; none while the satellite is not tracked
    bool used = false;             // listed by the last GSA
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
    std::optional<CRMCRecord> latest_rmc;
    // The latest RMC with status A, and when it came.
    std::optional<CRMCRecord> valid_fix;
    std::optional<Clock::time_point> valid_fix_at;
    std::optional<CGGARecord> gga;
    std::optional<CGSARecord> gsa;

    // The latest complete GSV set.
    int in_view = 0;
    std::vector<SatelliteInView> satellites;

    InputState input;
    bool service_stopped = false;

    // Newest last; the model keeps the few latest.
    std::deque<Notification> notifications;
};

}  // namespace tarnwick::cli::view
