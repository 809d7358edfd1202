#pragma once
// A serial device (a tty, pseudo-terminals included) behind a file handle: raw mode, Win32
// read and write time-outs, line settings through termios.

#include <atomic>
#include <mutex>

#include "platform/file_object.h"

namespace tarnwick::platform {

class SerialPort final : public File {
  public:
    // Takes ownership of `fd` (opened non-blocking) and puts the line into raw mode.
    SerialPort(int fd, bool writable, std::wstring name);
    ~SerialPort() override;

    bool read(void* buffer, DWORD size, DWORD& done) override;
    bool write(const void* buffer, DWORD size, DWORD& done) override;
    void closing() override;

    bool get_state(DCB& dcb) const;
    bool set_state(const DCB& dcb);
    COMMTIMEOUTS timeouts() const;
    void set_timeouts(const COMMTIMEOUTS& timeouts);
    bool purge(DWORD flags);

  private:
    enum class Direction { in, out };
    enum class Readiness { ready, hung_up, expired };
    // Sleeps until the line is ready in `direction`, an abort arrives or `deadline_ns`
    // (monotonic; negative: none) passes; an abort counts as expired.
    Readiness await(Direction direction, std::int64_t deadline_ns, std::uint32_t abort_generation);
    void abort(Direction direction);

    mutable std::mutex settings_mutex_;
    COMMTIMEOUTS timeouts_{};
    int wake_fd_;  // an eventfd: written to interrupt sleeping reads and writes
    std::atomic<std::uint32_t> read_aborts_{0};
    std::atomic<std::uint32_t> write_aborts_{0};
};

}  // namespace tarnwick::platform
