// tarnwick-sim: a simulated GPS receiver for tests, demonstrations and users without hardware.

#include <CLI/CLI.hpp>

#include "tools/tarnwick-sim/file_command.h"
#include "tools/tarnwick-sim/memory_command.h"
#include "tools/tarnwick-sim/serial_command.h"

namespace {

constexpr const char* overview = R"(
Start here (each mode runs until Ctrl-C, except file):
  export TARNWICK_HOME=$(mktemp -d)    # a namespace of its own for the service and the receiver
  tarnwick-sim serial --name COM1: &   # a receiver at 4800 baud on COM1:
  tarnwickd &                          # the service of that namespace
  tarnwick connect-port COM1: 4800
  tarnwick-sim memory gpsfeed &        # or NMEA in shared memory: tarnwick open-memory gpsfeed
  tarnwick-sim file drive.nmea         # or a file: tarnwick open-file drive.nmea

Everything lives in the namespace chosen by TARNWICK_HOME (the user's state directory
otherwise); give tests and demos their own directory. `tarnwick-sim MODE --help` explains
each mode, with examples. TARNWICK_DEBUG=1 traces on standard error.)";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"tarnwick-sim: a simulated GPS receiver"};
    app.name("tarnwick-sim");
    app.require_subcommand(1);
    int exit_code = 0;
    tarnwick::sim::add_serial_command(app, exit_code);
    tarnwick::sim::add_memory_command(app, exit_code);
    tarnwick::sim::add_file_command(app, exit_code);
    // Set after the modes exist, so that they do not inherit them as their own.
    app.footer(overview);
    app.set_version_flag("--version", "tarnwick-sim " TARNWICK_VERSION);
    auto listing = std::make_shared<CLI::Formatter>();
    listing->column_width(12);
    app.formatter(listing);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int cli_code = app.exit(error);
        return cli_code == 0 ? 0 : 2;
    }
    return exit_code;
}
