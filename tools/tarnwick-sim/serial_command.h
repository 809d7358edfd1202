#pragma once

#include <CLI/CLI.hpp>

namespace tarnwick::sim {

// `tarnwick-sim serial`: a receiver on a pseudo-terminal bound to a COMn: name. Sets exit_code
// when run.
void add_serial_command(CLI::App& app, int& exit_code);

}  // namespace tarnwick::sim
