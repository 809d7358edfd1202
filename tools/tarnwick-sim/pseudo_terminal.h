#pragma once
// The simulator's end of a pseudo-terminal. A program that opens the slave path sees a serial
// port: it sets the line speed there, and the simulator reads that speed back to decide whether
// its bytes would be understood.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::sim {

class PseudoTerminal {
  public:
    // Opens a master (non-blocking) and keeps one descriptor of the slave: the slave's line
    // settings are readable only through it, and while it is open the master never sees a
    // hang-up when the reading program closes the port. The slave starts in raw mode, so that
    // nothing is echoed back to the simulator. Throws std::system_error on failure.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slave_path() const noexcept { return slave_path_; }
    // Readable when the other side wrote something; -1 once closed.
    int master_fd() const noexcept { return master_; }
    bool is_open() const noexcept { return master_ >= 0; }

    // The line speed last set on the slave side, in baud; 0 when termios reports none the
    // simulator knows.
    std::uint32_t line_rate() const;

    // Writes what the line takes now and drops the rest, as bytes sent to a port nobody reads
    // are lost.
    void send(std::string_view bytes);
    // What the other side wrote, up to `size` bytes; 0 when nothing is waiting.
    std::size_t receive(char* buffer, std::size_t size);

    // Closes both descriptors: the slave's readers see the line hang up.
    void close();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
};

}  // namespace tarnwick::sim
