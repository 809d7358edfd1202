// tarnwick: the command-line client of the position service.

#include <CLI/CLI.hpp>

#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/decode_command.h"

namespace {

constexpr const char* footer = R"(
Start here:
  tarnwickd &                         the service (or: systemctl --user start tarnwickd)
  tarnwick connect                    find the receiver: every port at every rate
  tarnwick connect-port COM1: 4800    use what connect found; it is remembered
  tarnwick watch                      the decoded sentences as they come
  tarnwick fix                        the last valid fix, kept across restarts

Every subcommand but decode and quit starts the service when it is not running, once it has
run in the namespace (unless --no-start). The service's state and objects live in
TARNWICK_HOME, else in ~/.local/state/tarnwick; TARNWICK_DEBUG=1 traces what a program does
on standard error.
Exit codes: 0 done; 1 the service refused or failed the request; 2 usage or file error;
3 the service is not running, could not be started or did not answer.
`tarnwick SUBCOMMAND --help` shows a subcommand's options and examples.)";

// The subcommands by what they are for, in the order the help lists them.
struct Group {
    const char* title;
    std::vector<const char*> subcommands;
};

const std::vector<Group>& groups() {
    static const std::vector<Group> table = {
        {"Finding the receiver", {"ports", "connect", "connect-port", "disconnect"}},
        {"Other inputs", {"open-file", "open-memory", "record"}},
        {"Reading", {"status", "fix", "watch"}},
        {"The receiver", {"restart", "receiver"}},
        {"The service", {"config", "quit", "raw"}},
        {"Offline", {"decode"}},
    };
    return table;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"tarnwick: the command-line client of the Tarnwick GPS position service"};
    app.name("tarnwick");
    app.require_subcommand(1);
    app.footer(footer);
    int exit_code = 0;
    using namespace tarnwick::cli;
    add_ports_command(app, exit_code);
    add_connect_command(app, exit_code);
    add_connect_port_command(app, exit_code);
    add_disconnect_command(app, exit_code);
    add_open_file_command(app, exit_code);
    add_open_memory_command(app, exit_code);
    add_record_command(app, exit_code);
    add_status_command(app, exit_code);
    add_fix_command(app, exit_code);
    add_watch_command(app, exit_code);
    add_restart_command(app, exit_code);
    add_receiver_command(app, exit_code);
    add_quit_command(app, exit_code);
    add_raw_command(app, exit_code);
    add_config_command(app, exit_code);
    add_decode_command(app, exit_code);
    for (const Group& group : groups()) {
        for (const char* name : group.subcommands) {
            app.get_subcommand(name)->group(group.title);
        }
    }
    app.set_version_flag("--version", "tarnwick " TARNWICK_VERSION);
    // A narrower first column than the subcommands' own help, whose options are longer.
    auto listing = std::make_shared<CLI::Formatter>();
    listing->column_width(16);
    app.formatter(listing);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help is not an error; a malformed command line is refused like an unreadable input.
        return app.exit(error) == 0 ? 0 : 2;
    }
    return exit_code;
}
