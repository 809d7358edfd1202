#pragma once
// A pseudo-terminal for the serial tests: the test plays the device on the master side, the
// code under test opens the slave through a COMn: name bound in the port map.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace tarnwick::test {

class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        char name[128];
        if (ptsname_r(master_, name, sizeof name) != 0) {
            throw std::runtime_error("ptsname failed");
        }
        slave_path_ = name;
    }
    ~PseudoTerminal() { close_master(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slave_path() const { return slave_path_; }
    int master() const { return master_; }
    void send(const std::string& bytes) const {
        if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("write to the pseudo-terminal failed");
        }
    }
    void close_master() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

  private:
    int master_ = -1;
    std::string slave_path_;
};

}  // namespace tarnwick::test
