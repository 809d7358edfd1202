#pragma once

#include <CLI/CLI.hpp>

namespace tarnwick::sim {

// `tarnwick-sim memory NAME`: a shared-memory producer. Sets exit_code when run.
void add_memory_command(CLI::App& app, int& exit_code);

}  // namespace tarnwick::sim
