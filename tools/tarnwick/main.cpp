// tarnwick: the command-line client of the position service.

#include <CLI/CLI.hpp>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/decode_command.h"

int main(int argc, char** argv) {
    CLI::App app{"tarnwick: the command-line client of the Tarnwick position service"};
    app.require_subcommand(1);
    app.footer(
        "Every subcommand but decode and quit starts the service when it is not running\n"
        "(unless --no-start). Objects live in the namespace TARNWICK_HOME.\n"
        "Exit codes: 0 done; 1 the service refused or failed the request; 2 usage or file\n"
        "error; 3 the service is not running, could not be started or did not answer.\n"
        "`tarnwick SUBCOMMAND --help` shows each subcommand's options and an example.");
    int exit_code = 0;
    using namespace tarnwick::cli;
    add_status_command(app, exit_code);
    add_ports_command(app, exit_code);
    add_connect_command(app, exit_code);
    add_connect_port_command(app, exit_code);
    add_disconnect_command(app, exit_code);
    add_open_file_command(app, exit_code);
    add_open_memory_command(app, exit_code);
    add_record_command(app, exit_code);
    add_fix_command(app, exit_code);
    add_restart_command(app, exit_code);
    add_receiver_command(app, exit_code);
    add_watch_command(app, exit_code);
    add_raw_command(app, exit_code);
    add_quit_command(app, exit_code);
    add_decode_command(app, exit_code);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help is not an error; a malformed command line is refused like an unreadable input.
        return app.exit(error) == 0 ? 0 : 2;
    }
    return exit_code;
}
