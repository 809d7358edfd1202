// tarnwick-sim: a simulated GPS receiver for tests, demonstrations and users without hardware.

#include <CLI/CLI.hpp>

#include "tools/tarnwick-sim/file_command.h"

int main(int argc, char** argv) {
    CLI::App app{"tarnwick-sim: a simulated GPS receiver"};
    app.require_subcommand(1);
    int exit_code = 0;
    tarnwick::sim::add_file_command(app, exit_code);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int cli_code = app.exit(error);
        return cli_code == 0 ? 0 : 2;
    }
    return exit_code;
}
