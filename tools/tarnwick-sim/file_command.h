#pragma once

#include <CLI/CLI.hpp>

namespace tarnwick::sim {

// `tarnwick-sim file OUT`: writes a recorded drive as an NMEA file. Sets exit_code when run.
void add_file_command(CLI::App& app, int& exit_code);

}  // namespace tarnwick::sim
