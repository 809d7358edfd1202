#pragma once
// What opening a serial device exclusively (share mode 0) takes from the rest of the machine,
// and closing it gives back: the refusal of a device another program holds, its UUCP lock
// file, exclusive mode (TIOCEXCL) and the line settings it had before.

#include <sys/types.h>
#include <termios.h>

#include <string>

#include "platform/uucp_lock.h"

namespace tarnwick::platform {

class SerialClaim {
  public:
    SerialClaim() = default;
    SerialClaim(SerialClaim&&) = default;
    SerialClaim& operator=(SerialClaim&&) = default;

    // Takes the terminal `fd`, just opened by `path`, before any of its settings change. With
    // `exclusive`, a device that another program holds (port_holders.h; `keeper` shares it) is
    // refused: false with the last error ERROR_SHARING_VIOLATION; otherwise the lock file is
    // written and exclusive mode set. The line settings are kept for give_back in every case.
    bool take(int fd, const std::string& path, bool exclusive, pid_t keeper);
    // Puts the line settings back, leaves exclusive mode and removes the lock file.
    void give_back(int fd) noexcept;

  private:
    termios original_{};
    bool saved_ = false;
    bool exclusive_mode_ = false;
    UucpLock lock_;
};

}  // namespace tarnwick::platform
