#pragma once
// Tracks read back with a real GPX library: check_track.py, run with python3, compares a track
// with `tarnwick decode --format json` of the same input.

#include <filesystem>
#include <string>

namespace tarnwick::test {

// True when a python3 (Debian's first) can import gpxpy; the tests that need it skip otherwise.
bool gpxpy_available();

struct TrackCheck {
    bool passed = false;
    int points = -1;     // as the checker counted them; -1 when it could not read the track
    std::string report;  // what the checker printed
};

// format "gpx" or "geojson"; records: the JSON decode of the input. `run`: the track may be
// any consecutive run of the valid fixes (a live log) rather than all of them.
TrackCheck check_track(const std::string& format, const std::filesystem::path& track,
                       const std::filesystem::path& records, bool run = false);

// `tarnwick decode --format json` of input into a file of `dir`; returns its path.
std::filesystem::path decoded_records(const std::filesystem::path& input,
                                      const std::filesystem::path& dir, bool gnss = false,
                                      const std::string& framing = "serial");

}  // namespace tarnwick::test
