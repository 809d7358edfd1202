#pragma once

#include <CLI/CLI.hpp>

namespace tarnwick::cli {

// `tarnwick decode [--framing serial|file] [--format raw|json|gpx|geojson] [--stats] [FILE|-]`:
// decodes NMEA offline, one line per delivered record, or the valid fixes as one track. Sets
// exit_code when run: 0, 2 when the input cannot be read, 1 when the output cannot be written.
void add_decode_command(CLI::App& app, int& exit_code);

}  // namespace tarnwick::cli
