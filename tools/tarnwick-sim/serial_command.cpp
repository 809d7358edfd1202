#include "tools/tarnwick-sim/serial_command.h"

#include <signal.h>

#include <cstdio>
#include <exception>
#include <memory>

#include "base/utf8.h"
#include "platform/line_speed.h"
#include "tools/tarnwick-sim/serial_receiver.h"

namespace tarnwick::sim {
namespace {

constexpr const char* serial_footer = R"(
The pseudo-terminal is bound to a COMn: name in the port map of the namespace (TARNWICK_HOME).
It sends NMEA epochs at its baud rate, noise at any other, and answers receiver commands.
The first line on standard output names the port and the device, as soon as they exist:
  COM3: /dev/pts/7
Every command read from the line is logged on standard error, one line each:
  received: PKON1,012,5,,,0045,K
The binding is removed when the simulator ends (SIGINT, SIGTERM, --duration, --vanish-after);
one killed outright leaves a stale binding to a dead line behind.

Commands it understands (checksum required, CR LF at the end):
  $aaGPQ,PORZX*25            answered with $PORZX,<--porzx fields>
  $PKON1,P1,R,,,P5,P6*hh     sets the receiver setting R (and P1, P5, P6)
  $PSRF101,...,CH,RESET*hh   restart: RESET 4 cold, 2 or 3 warm, 1 hot

Examples:
  # a demo: the service finds the receiver on the port map's COM name
  TARNWICK_HOME=/tmp/demo tarnwick-sim serial --name COM3:
  # a client's test: 9600 baud, the fix lost from 10 s to 40 s, gone after a minute
  TARNWICK_HOME=$TMP tarnwick-sim serial --baud 9600 --no-fix-after 10 --no-fix-for 30 \
      --vanish-after 60
  # a receiver that never answers the PORZX query, restarting quickly
  tarnwick-sim serial --no-porzx --cold-ttff 3 --warm-ttff 1 --duration 120)";

int run_serial(const SerialOptions& options) {
    try {
        platform::StopSignals stops({SIGINT, SIGTERM, SIGHUP});
        // A reader that goes away must not kill the receiver; writes report EPIPE/EIO instead.
        signal(SIGPIPE, SIG_IGN);
        PseudoTerminal line;
        PortBinding binding(tarnwick::from_utf8(options.name), line.slave_path());
        std::printf("%s %s\n", tarnwick::to_utf8(binding.name()).c_str(),
                    line.slave_path().c_str());
        std::fflush(stdout);
        SerialReceiver receiver(options, line, binding);
        return receiver.run(stops);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnwick-sim: %s\n", error.what());
        return 1;
    }
}

}  // namespace

void add_serial_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<SerialOptions>();
    auto settings_text = std::make_shared<std::string>(format_settings(options->settings));
    auto no_porzx = std::make_shared<bool>(false);
    CLI::App* command = app.add_subcommand(
        "serial", "A receiver on a pseudo-terminal, found by the service through the port map");
    command->footer(serial_footer);
    command->add_option("--name", options->name, "Port name to bind (default: the first free)");
    command
        ->add_option("--baud", options->baud,
                     "Line speed the receiver talks at; a reader at any other speed gets noise")
        ->capture_default_str()
        ->check([](const std::string& text) -> std::string {
            try {
                return platform::speed_for_rate(static_cast<DWORD>(std::stoul(text)))
                           ? std::string()
                           : "not a line speed a serial port can be set to: " + text;
            } catch (const std::exception&) {
                return "not a number: " + text;
            }
        });
    add_live_options(*command, options->live);
    command
        ->add_option("--vanish-after", options->vanish_after,
                     "Close the line (as a receiver unplugged), remove the binding and end after "
                     "this many seconds (0: never)")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 1e6));
    command
        ->add_option("--porzx", *settings_text,
                     "The PORZX fields it reports: P1,RECEIVER,F3,F4,P5,P6")
        ->capture_default_str();
    command->add_flag("--no-porzx", *no_porzx,
                      "Never answer the PORZX query (a receiver that does not know it)");
    command
        ->add_option("--restart-silence", options->restart_silence,
                     "Seconds without output after a restart command")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 3600.0));
    command
        ->add_option("--warm-ttff", options->warm_ttff,
                     "Seconds from a warm restart (reset configuration 2) to the first fix")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 3600.0));
    command
        ->add_option("--cold-ttff", options->cold_ttff,
                     "Seconds from a cold restart (reset configuration 4) to the first fix")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 3600.0));
    command->callback([options, settings_text, no_porzx, &exit_code] {
        const auto settings = parse_settings(*settings_text);
        if (!settings) {
            std::fprintf(stderr,
                         "tarnwick-sim: --porzx wants P1,RECEIVER,F3,F4,P5,P6, e.g. "
                         "12,3,1,0,45,K\n");
            exit_code = 2;
            return;
        }
        options->settings = *settings;
        options->knows_porzx = !*no_porzx;
        exit_code = run_serial(*options);
    });
}

}  // namespace tarnwick::sim
