#pragma once
// A serial device (a tty, pseudo-terminals included) behind a file handle: raw mode, Win32
// read and write time-outs, line settings through termios.

#include <atomic>
#include <mutex>

#include "platform/file_object.h"
#include "platform/serial_claim.h"

namespace tarnwick::platform {

class SerialPort final : public File {
  public:
    // Takes ownership of `fd` (opened non-blocking) and puts the line into raw mode; `claim`
    // gives the line back as it found it when the port goes.
    SerialPort(int fd, bool writable, std::wstring name, SerialClaim claim);
    ~SerialPort() override;

    bool read(void* buffer, DWORD size, DWORD& done) override;
    bool write(const void* buffer, DWORD size, DWORD& done) override;
    void closing() override;

    bool get_state(DCB& dcb) const;
    bool set_state(const DCB& dcb);
    COMMTIMEOUTS timeouts() const;
    void set_timeouts(const COMMTIMEOUTS& timeouts);
    bool purge(DWORD flags);
    // EV_RXFLAG switches line reads on (see read()), its absence off; other bits are kept only.
    bool set_event_mask(DWORD mask);
    DWORD event_mask() const;

  private:
    enum class Direction { in = 0, out = 1 };
    enum class Readiness { ready, hung_up, expired, aborted };
    // Sleeps until the line is ready in `direction`, an abort arrives or `deadline_ns`
    // (monotonic; negative: none) passes.
    Readiness await(Direction direction, std::int64_t deadline_ns, std::uint32_t write_generation);
    // await() for reads, through in_events_.
    Readiness await_input(std::int64_t deadline_ns);
    // Registers the line and the read's wake eventfd with in_events_ (left -1 on failure).
    void watch_input();
    // Line reads: true when a finished line waits (or the check failed).
    bool line_waiting() const;
    // Line reads: the bytes of an unfinished line, which the kernel holds back until its LF, up
    // to `room` of them; the count taken.
    DWORD take_partial_line(char* bytes, DWORD room);
    // How long a line read may wait before the unfinished line is taken, so that a run without
    // LF never fills the kernel's line buffer (nanoseconds).
    std::int64_t partial_line_wait_ns() const;
    bool aborted(Direction direction, std::uint32_t write_generation);
    void abort(Direction direction);
    void drain_wake(Direction direction);

    SerialClaim claim_;
    mutable std::mutex settings_mutex_;
    COMMTIMEOUTS timeouts_{};
    DWORD event_mask_ = 0;
    // Held for every read-modify-write of the termios settings: taking an unfinished line
    // switches canonical mode off and on, and must not undo a SetCommState between the two.
    std::mutex termios_mutex_;
    std::atomic<bool> line_reads_{false};
    // Per direction an eventfd, written to interrupt a sleeping read or write.
    int wake_fds_[2];
    // Reads wait here: the line (edge-triggered) and the read's wake eventfd; -1: with ppoll.
    int in_events_ = -1;
    // The line has reported a hang-up to in_events_ (an edge, reported only once).
    std::atomic<bool> input_gone_{false};
    // An aborted read ends the read in progress or, when none is, the next one: a reader
    // thread between two reads must not miss the abort that is meant to stop it.
    std::atomic<bool> read_abort_pending_{false};
    // An aborted write ends only writes in progress (a later command must not be cut short).
    std::atomic<std::uint32_t> write_aborts_{0};
};

}  // namespace tarnwick::platform
