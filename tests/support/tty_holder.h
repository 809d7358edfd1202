#pragma once
// Another program holding a terminal device (tests/support/tty_holder.cpp), and the byte-exact
// line settings of a device, for the tests of ports that are in use.

#include <termios.h>

#include <string>

#include "tests/support/spawned_process.h"

namespace tarnwick::test {

class TtyHolder {
  public:
    enum class Way { open, session };
    // Starts the holder and waits until it holds `path`; fails the test when it does not.
    TtyHolder(const std::string& path, Way way = Way::open);

    pid_t pid() const { return process_.pid(); }
    // The name the system gives the holder (/proc/PID/comm).
    static constexpr const char* program = "tty_holder";

  private:
    SpawnedProcess process_;
};

// The line settings of the terminal at `path`, read through a descriptor of its own that is
// closed again before returning (so that the reader does not count as a holder afterwards).
termios line_settings(const std::string& path);
bool same_settings(const termios& a, const termios& b);

}  // namespace tarnwick::test
