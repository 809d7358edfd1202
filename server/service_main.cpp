// tarnwickd: the position service. One instance per namespace; it runs in the foreground until
// a client sends Quit, the data stream overflows, or SIGINT/SIGTERM arrives.

#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/trace.h"
#include "exchange/service_instance_block.h"
#include "platform/kernel_support.h"
#include "platform/stop_signals.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"
#include "protocol/object_names.h"
#include "protocol/registry.h"
#include "server/data_server.h"
#include "server/registry_settings.h"

namespace {

constexpr DWORD path_size = 1024;

constexpr const char* usage = R"(Usage: tarnwickd [tstamp]
       tarnwickd --help | --version

The Tarnwick position service: finds the GPS receiver on a serial port, reads its NMEA
stream and serves it to clients through the named channels of the namespace. It runs in the
foreground until a client sends Quit (tarnwick quit) or SIGINT/SIGTERM arrives, or until the
data stream is full because no client reads it (it then says so on standard error; the exit
status is 0 either way); a second start while one runs exits at once with 0. Once it has run
in a namespace, clients start it themselves when it is not running (without tstamp).

  tstamp     RMC messages on the data stream carry the millisecond tick of their writing
             (argument 1 exactly; clients ask GetTimeStampMode)
  --help     print this text and exit
  --version  print the version and exit

Examples:
  tarnwickd &                              # then: tarnwick connect; tarnwick watch
  systemctl --user enable --now tarnwickd  # installed: run it as a user service
  TARNWICK_DEBUG=1 tarnwickd               # every step traced on standard error

Environment:
  TARNWICK_HOME   the namespace: state, port map and named objects (default
                  $XDG_STATE_HOME/tarnwick, else ~/.local/state/tarnwick)
  TARNWICK_DEBUG  1: trace to standard error (the journal, under systemd)
  TARNWICK_WAIT   futex: waits on several objects sleep on the namespace's wake-up word
                  (the way taken anyway on kernels before 5.16); futex_waitv: refuse to
                  start without futex_waitv

docs/running.md explains installing, the user service and access to serial devices.
)";

bool argument_is(int argc, char** argv, const char* word) {
    return argc > 1 && std::strcmp(argv[1], word) == 0;
}

// Start-up, service and stop of one instance; the stop signals are already blocked.
int serve(int argc, char** argv, tarnwick::platform::StopSignals& stop_signals) {
    GPS::unique_handle start_event(
        CreateEventW(nullptr, TRUE, FALSE, tarnwick::protocol::names::start_event));
    if (!start_event) {
        return -1;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        return 0;
    }
    wchar_t path[path_size] = {};
    if (GetModuleFileNameW(nullptr, path, path_size) == 0) {
        return -1;
    }
    if (auto key = tarnwick::server::ServiceKey::create()) {
        key.set_string(tarnwick::protocol::registry::path_value, path);
    }
    const bool tstamp = argument_is(argc, argv, "tstamp");
    // Before anything is published, so that a watcher of the previous instance frames this one's
    // messages right; held until the end, so that the count survives while no client holds it.
    GPS::service_instance_block instance;
    if (instance.open()) {
        instance.announce(tstamp);
    } else {
        trace(L"tarnwickd: the service instance block cannot be opened (error %u)",
              static_cast<unsigned>(GetLastError()));
    }
    {
        CDataServer server;
        if (server.init(tstamp)) {
            EventModify(start_event.get(), EVENT_SET);
            stop_signals.watch([&server] { server.request_stop(); });
            server.wait_main_thread();
            // A signal arriving from here on must not reach the server while it is destroyed.
            stop_signals.stop_watching();
            // Said whether tracing or not: the exit status is 0 as after a Quit, and a user (or
            // the journal) would otherwise never learn why the service went away.
            if (server.stopped_for_full_data_stream()) {
                std::fputs(
                    "tarnwickd: stopped: the data stream was full, no client read it "
                    "(docs/protocol.md, \"The data stream\")\n",
                    stderr);
            }
        }
        // Clients see the service gone before it is torn down.
        start_event.reset();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argument_is(argc, argv, "--help")) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argument_is(argc, argv, "--version")) {
        std::printf("tarnwickd %s\n", TARNWICK_VERSION);
        return 0;
    }
    // Said whether tracing or not: without it the service would stop at its first wait, silently.
    if (const char* missing = tarnwick::platform::missing_kernel_support()) {
        std::fprintf(stderr, "tarnwickd: cannot run here: %s (docs/running.md)\n", missing);
        return -1;
    }
    try {
        // Before the first thread exists, so that none of them receives the stop signals.
        tarnwick::platform::StopSignals stop_signals;
        return serve(argc, argv, stop_signals);
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "tarnwickd: %s\n", error.what());
        return -1;
    }
}
