#pragma once
// The subcommands that talk to the service, one file each. Each adds itself to `app` and, when
// run, sets exit_code (service_command.h lists the codes).

#include <CLI/CLI.hpp>

namespace tarnwick::cli {

void add_status_command(CLI::App& app, int& exit_code);
void add_ports_command(CLI::App& app, int& exit_code);
void add_connect_command(CLI::App& app, int& exit_code);
void add_connect_port_command(CLI::App& app, int& exit_code);
void add_disconnect_command(CLI::App& app, int& exit_code);
void add_open_file_command(CLI::App& app, int& exit_code);
void add_open_memory_command(CLI::App& app, int& exit_code);
void add_record_command(CLI::App& app, int& exit_code);
void add_fix_command(CLI::App& app, int& exit_code);
void add_restart_command(CLI::App& app, int& exit_code);
void add_receiver_command(CLI::App& app, int& exit_code);
void add_quit_command(CLI::App& app, int& exit_code);
void add_watch_command(CLI::App& app, int& exit_code);
void add_raw_command(CLI::App& app, int& exit_code);
void add_config_command(CLI::App& app, int& exit_code);

}  // namespace tarnwick::cli
