// tarnwick-sim: a simulated GPS receiver for tests, demonstrations and users without hardware.

#include <CLI/CLI.hpp>

#include "tools/tarnwick-sim/file_command.h"
#include "tools/tarnwick-sim/memory_command.h"
#include "tools/tarnwick-sim/serial_command.h"

namespace {

constexpr const char* overview = R"(
Modes:
  serial   a receiver on a pseudo-terminal, found by the service through the port map
  memory   a producer publishing NMEA in named shared memory
  file     an NMEA sample file (the bundled data/sample-track.nmea is made this way)

Everything lives in the namespace chosen by TARNWICK_HOME (the user's state directory
otherwise); give tests and demos their own directory. `tarnwick-sim MODE --help` explains
each mode, with examples.)";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"tarnwick-sim: a simulated GPS receiver"};
    app.footer(overview);
    app.require_subcommand(1);
    int exit_code = 0;
    tarnwick::sim::add_serial_command(app, exit_code);
    tarnwick::sim::add_memory_command(app, exit_code);
    tarnwick::sim::add_file_command(app, exit_code);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int cli_code = app.exit(error);
        return cli_code == 0 ? 0 : 2;
    }
    return exit_code;
}
