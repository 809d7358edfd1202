// tarnwick: the command-line client of the position service.

#include <CLI/CLI.hpp>

#include "tools/tarnwick/decode_command.h"

int main(int argc, char** argv) {
    CLI::App app{"tarnwick: the command-line client of the Tarnwick position service"};
    app.require_subcommand(1);
    int exit_code = 0;
    tarnwick::cli::add_decode_command(app, exit_code);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help is not an error; a malformed command line is refused like an unreadable input.
        return app.exit(error) == 0 ? 0 : 2;
    }
    return exit_code;
}
