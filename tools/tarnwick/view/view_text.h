#pragma once
// The pieces of text the live view is made of, shared by the full screen and the plain lines.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "client/records.h"
#include "tools/tarnwick/view/view_state.h"

namespace tarnwick::cli::view {

// snprintf into a std::string; longer results are cut at 255 bytes.
template <typename... Values>
std::string format(const char* pattern, Values... values) {
    char text[256];
    const int length = std::snprintf(text, sizeof text, pattern, values...);
    return std::string(text, length < 0 ? 0 : std::min<std::size_t>(length, sizeof text - 1));
}

// "2026-03-14  09:30:05" (the receiver's UTC date and time); "--" parts while unknown.
std::string date_time_text(const client::RMC& rmc);

// "45.50170° N" and "45°30.102' N".
std::string latitude_degrees(const client::Position& position);
std::string longitude_degrees(const client::Position& position);
std::string latitude_raw(const client::Position& position);
std::string longitude_raw(const client::Position& position);

// "3D fix", "2D fix", "fix" (A without a GSA), "no fix", "waiting for data"; " (DGPS)" added
// when the GGA says so.
std::string fix_status_text(const ViewState& state);

// "3 s ago", "2 min 5 s ago", "1 h 4 min ago"; "none yet" without a fix.
std::string age_text(const ViewState& state, Clock::time_point now);
std::string elapsed_text(Clock::duration elapsed);

// "serial port", "file replay", "shared memory", "no input".
std::string input_kind_text(std::int32_t mode);
// "serial port COM1: at 4800 baud", "file replay" …; "asking the service…" until known.
std::string input_text(const InputState& input);
// "recording" or "not recording".
std::string recording_text(const InputState& input);

// The number of terminal columns `text` (UTF-8) takes, one per character.
std::size_t display_width(const std::string& text);
// `text` cut to at most `columns` characters, never inside a UTF-8 sequence.
std::string fit_width(const std::string& text, std::size_t columns);
// `text` followed by spaces up to `columns` characters (as printf's %-Ns counts bytes).
std::string pad_right(const std::string& text, std::size_t columns);

}  // namespace tarnwick::cli::view
