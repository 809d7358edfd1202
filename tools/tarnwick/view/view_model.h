#pragma once
// Folds data-stream messages and the service's answers into the live view's state. Pure: the
// caller passes the moment of each event, so tests replay a session without a clock.

#include <cstdint>

#include "client/stream_message.h"
#include "tools/tarnwick/view/view_state.h"

namespace tarnwick::cli::view {

// What a message changed, so that a line-per-update output knows when to print.
enum class Change {
    nothing,       // a record the view does not show (GLL, VTG, PORZA, PORZX)
    epoch,         // an RMC: a new second of the receiver's time
    detail,        // GGA, GSA or GSV
    notification,  // a scan event, an input lost, ended or reconnected
};

class ViewModel {
  public:
    static constexpr std::size_t kept_notifications = 8;

    Change apply(const client::StreamMessage& message, Clock::time_point now);
    // The watcher fell behind and missed `count` messages.
    void messages_lost(std::uint64_t count, Clock::time_point now);
    // True when the input differs from what the state held.
    bool set_input(const InputState& input);
    void service_stopped(Clock::time_point now);

    const ViewState& state() const noexcept { return state_; }

  private:
    void take_rmc(const client::RMC& rmc, Clock::time_point now);
    void take_gsv(const client::GSV& gsv);
    // gnss setting: one system's set of one signal, merged with the others.
    void take_gnss_set(const std::vector<SatelliteInView>& taken);
    // gnss setting: the GSA just taken, with the systems announced before it.
    void take_gsa_systems();
    void mark_used_satellites();
    void notify(std::string text, Clock::time_point now);

    ViewState state_;
};

// The text of a notification message (1003, 1011, 1012, 1013); empty for anything else.
std::string notification_text(const client::StreamMessage& message);

}  // namespace tarnwick::cli::view
