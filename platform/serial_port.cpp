#include "platform/serial_port.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"
#include "platform/line_speed.h"
#include "platform/monotonic_deadline.h"

namespace tarnwick::platform {
namespace {

constexpr DWORD kMaxDword = 0xFFFFFFFF;
constexpr std::int64_t kNoDeadline = -1;
constexpr std::int64_t kMillisecond = 1'000'000;

std::int64_t earliest(std::int64_t a, std::int64_t b) {
    if (a < 0) {
        return b;
    }
    if (b < 0) {
        return a;
    }
    return a < b ? a : b;
}

// A line that reports end of file or EIO has gone away (a USB adapter pulled out, the master
// side of a pseudo-terminal closed).
DWORD error_for_failed_io(int error) {
    return error == EIO || error == ENXIO || error == ENODEV ? ERROR_DEVICE_NOT_CONNECTED
                                                             : error_from_errno(error);
}

void make_raw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return;
    }
    speed_t input_speed = cfgetispeed(&settings);
    speed_t output_speed = cfgetospeed(&settings);
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    // With VMIN 1 a non-blocking read of an empty line fails with EAGAIN, so that a read of
    // 0 bytes can only mean end of file: the line hung up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, input_speed);
    cfsetospeed(&settings, output_speed);
    tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace

SerialPort::SerialPort(int fd, bool writable, std::wstring name, SerialClaim claim)
    : File(fd, writable, std::move(name)),
      claim_(std::move(claim)),
      wake_fds_{eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)} {
    make_raw(fd);
    watch_input();
}

void SerialPort::watch_input() {
    // Edge-triggered, so that a wait does not poll the tty before it sleeps: a poll that finds
    // no finished line first waits for the kernel's pending hand-over of received bytes, which
    // is still running when it has just woken the reader for a line. Every read takes all
    // there is before it waits, so no edge is missed. The wake eventfd stays level-triggered.
    in_events_ = epoll_create1(EPOLL_CLOEXEC);
    if (in_events_ < 0) {
        return;
    }
    epoll_event line{};
    line.events = EPOLLIN | EPOLLET;
    line.data.fd = fd();
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = wake_fds_[static_cast<int>(Direction::in)];
    if (epoll_ctl(in_events_, EPOLL_CTL_ADD, fd(), &line) != 0 ||
        (wake.data.fd >= 0 && epoll_ctl(in_events_, EPOLL_CTL_ADD, wake.data.fd, &wake) != 0)) {
        close(in_events_);  // reads then wait with ppoll
        in_events_ = -1;
    }
}

SerialPort::~SerialPort() {
    if (in_events_ >= 0) {
        close(in_events_);
    }
    claim_.give_back(fd());
    for (int wake_fd : wake_fds_) {
        if (wake_fd >= 0) {
            close(wake_fd);
        }
    }
}

void SerialPort::closing() {
    abort(Direction::in);
    abort(Direction::out);
}

void SerialPort::abort(Direction direction) {
    if (direction == Direction::in) {
        read_abort_pending_.store(true, std::memory_order_release);
    } else {
        write_aborts_.fetch_add(1, std::memory_order_acq_rel);
    }
    int wake_fd = wake_fds_[static_cast<int>(direction)];
    std::uint64_t one = 1;
    if (wake_fd >= 0) {
        ssize_t ignored = ::write(wake_fd, &one, sizeof one);
        (void)ignored;
    }
}

void SerialPort::drain_wake(Direction direction) {
    int wake_fd = wake_fds_[static_cast<int>(direction)];
    std::uint64_t count;
    if (wake_fd >= 0) {
        ssize_t ignored = ::read(wake_fd, &count, sizeof count);
        (void)ignored;
    }
}

bool SerialPort::aborted(Direction direction, std::uint32_t write_generation) {
    if (direction == Direction::in) {
        if (read_abort_pending_.exchange(false, std::memory_order_acq_rel)) {
            drain_wake(direction);
            return true;
        }
        return false;
    }
    return write_aborts_.load(std::memory_order_acquire) != write_generation;
}

SerialPort::Readiness SerialPort::await(Direction direction, std::int64_t deadline_ns,
                                        std::uint32_t write_generation) {
    if (direction == Direction::in && in_events_ >= 0) {
        return await_input(deadline_ns);
    }
    int wake_fd = wake_fds_[static_cast<int>(direction)];
    for (;;) {
        if (aborted(direction, write_generation)) {
            return Readiness::aborted;
        }
        timespec left{};
        if (deadline_ns >= 0) {
            std::int64_t remaining = deadline_ns - monotonic_now_ns();
            if (remaining <= 0) {
                return Readiness::expired;
            }
            left = {static_cast<time_t>(remaining / 1'000'000'000),
                    static_cast<long>(remaining % 1'000'000'000)};
        }
        pollfd entries[2] = {
            {fd(), static_cast<short>(direction == Direction::in ? POLLIN : POLLOUT), 0},
            {wake_fd, POLLIN, 0}};
        int ready =
            ppoll(entries, wake_fd >= 0 ? 2 : 1, deadline_ns >= 0 ? &left : nullptr, nullptr);
        if (ready < 0 && errno != EINTR) {
            return Readiness::hung_up;
        }
        if (ready > 0 && entries[0].revents != 0) {
            bool gone = (entries[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            return gone ? Readiness::hung_up : Readiness::ready;
        }
        if (ready > 0 && (entries[1].revents & POLLIN) != 0) {
            if (aborted(direction, write_generation)) {
                return Readiness::aborted;
            }
            drain_wake(direction);  // left over from an abort meant for an earlier call
        }
    }
}

SerialPort::Readiness SerialPort::await_input(std::int64_t deadline_ns) {
    const int wake_fd = wake_fds_[static_cast<int>(Direction::in)];
    for (;;) {
        if (aborted(Direction::in, 0)) {
            return Readiness::aborted;
        }
        // An edge reports a hang-up once; the line stays gone, and later reads must see it.
        if (input_gone_.load(std::memory_order_acquire)) {
            return Readiness::hung_up;
        }
        timespec left{};
        if (deadline_ns >= 0) {
            const std::int64_t remaining = deadline_ns - monotonic_now_ns();
            if (remaining <= 0) {
                return Readiness::expired;
            }
            left = {static_cast<time_t>(remaining / 1'000'000'000),
                    static_cast<long>(remaining % 1'000'000'000)};
        }
        epoll_event events[2];
        int ready =
            epoll_pwait2(in_events_, events, 2, deadline_ns >= 0 ? &left : nullptr, nullptr);
        if (ready < 0 && errno == ENOSYS) {
            // Kernels before 5.11: millisecond time-outs, rounded up so as not to end early.
            const int timeout_ms = deadline_ns >= 0
                                       ? static_cast<int>((left.tv_sec * 1'000'000'000 +
                                                           left.tv_nsec + kMillisecond - 1) /
                                                          kMillisecond)
                                       : -1;
            ready = epoll_wait(in_events_, events, 2, timeout_ms);
        }
        if (ready < 0 && errno != EINTR) {
            return Readiness::hung_up;
        }
        bool line_ready = false;
        for (int n = 0; n < ready; ++n) {
            if (events[n].data.fd == wake_fd) {
                if (aborted(Direction::in, 0)) {
                    return Readiness::aborted;
                }
                drain_wake(Direction::in);  // left over from an abort meant for an earlier call
            } else if ((events[n].events & (EPOLLHUP | EPOLLERR)) != 0) {
                input_gone_.store(true, std::memory_order_release);
                return Readiness::hung_up;
            } else {
                line_ready = true;
            }
        }
        if (line_ready) {
            return Readiness::ready;
        }
    }
}

bool SerialPort::read(void* buffer, DWORD size, DWORD& done) {
    done = 0;
    COMMTIMEOUTS limits = timeouts();
    if (aborted(Direction::in, 0)) {
        return true;  // an abort that arrived between two reads ends this one
    }
    // Line reads: the kernel wakes the reader at an LF only, so "bytes have arrived" means "a
    // line has". The bytes of an unfinished line are taken when the read's time-outs expire
    // with nothing else, or when the line has gone without an LF for so long that the kernel's
    // line buffer would fill.
    const bool lines = line_reads_.load(std::memory_order_acquire);
    std::int64_t start = monotonic_now_ns();
    bool return_at_once = limits.ReadIntervalTimeout == kMaxDword &&
                          limits.ReadTotalTimeoutMultiplier == 0 &&
                          limits.ReadTotalTimeoutConstant == 0;
    // MAXDWORD interval and multiplier with a constant: wait up to the constant for a first
    // byte, then return whatever has arrived.
    bool return_after_first =
        limits.ReadIntervalTimeout == kMaxDword && limits.ReadTotalTimeoutMultiplier == kMaxDword &&
        limits.ReadTotalTimeoutConstant > 0 && limits.ReadTotalTimeoutConstant < kMaxDword;
    std::int64_t total_deadline = kNoDeadline;
    if (return_after_first) {
        total_deadline = start + std::int64_t{limits.ReadTotalTimeoutConstant} * kMillisecond;
    } else if (limits.ReadTotalTimeoutMultiplier != 0 || limits.ReadTotalTimeoutConstant != 0) {
        std::int64_t total_ms = std::int64_t{limits.ReadTotalTimeoutMultiplier} * size +
                                limits.ReadTotalTimeoutConstant;
        total_deadline = start + total_ms * kMillisecond;
    }
    bool uses_interval = limits.ReadIntervalTimeout != 0 && limits.ReadIntervalTimeout != kMaxDword;
    std::int64_t last_byte = 0;
    auto* bytes = static_cast<char*>(buffer);
    bool hung_up = false;
    while (done < size) {
        ssize_t got = lines && !hung_up && !line_waiting()
                          ? (errno = EAGAIN, -1)
                          : ::read(fd(), bytes + done, size - done);
        if (got > 0) {
            done += static_cast<DWORD>(got);
            last_byte = monotonic_now_ns();
            // A line read delivers one line per call: the others that wait are taken too.
            if (return_after_first && !lines) {
                return true;
            }
            continue;
        }
        int error = got == 0 ? EIO : errno;  // end of file on a tty: hung up
        if (got < 0 && error == EINTR) {
            continue;
        }
        bool nothing_yet = got < 0 && (error == EAGAIN || error == EWOULDBLOCK);
        if (!nothing_yet || hung_up) {
            // Hand over what arrived; the failure shows at the next call.
            return done > 0 ? true : fail(error_for_failed_io(nothing_yet ? EIO : error), false);
        }
        if (return_at_once || (return_after_first && done > 0)) {
            if (lines && done == 0) {
                done = take_partial_line(bytes, size);
            }
            return true;
        }
        std::int64_t deadline = total_deadline;
        if (uses_interval && done > 0) {
            deadline = earliest(
                deadline, last_byte + std::int64_t{limits.ReadIntervalTimeout} * kMillisecond);
        }
        std::int64_t wait_until = deadline;
        if (lines) {
            wait_until = earliest(deadline, monotonic_now_ns() + partial_line_wait_ns());
        }
        Readiness readiness = await(Direction::in, wait_until, 0);
        if (readiness == Readiness::aborted) {
            return true;  // an abort: success with what has arrived
        }
        if (readiness == Readiness::expired) {
            const bool timed_out = wait_until == deadline;
            if (lines && (done == 0 || !timed_out)) {
                const DWORD taken = take_partial_line(bytes + done, size - done);
                if (taken > 0) {
                    done += taken;
                    last_byte = monotonic_now_ns();
                    if (return_after_first) {
                        return true;
                    }
                }
            }
            if (timed_out) {
                return true;  // time-out: success with what has arrived
            }
            continue;
        }
        // Hung up: the next read still delivers what is buffered, then the failure shows.
        hung_up = readiness == Readiness::hung_up;
    }
    return true;
}

bool SerialPort::line_waiting() const {
    // A read (or poll) that finds no line first waits for the kernel's pending hand-over of
    // received bytes to finish; right after the wake-up of a line, that hand-over still runs,
    // and the wait would be a second sleep per line. FIONREAD counts the finished lines' bytes
    // without that wait. When it fails, the read is made, which tells why.
    int waiting = 0;
    return ioctl(fd(), FIONREAD, &waiting) != 0 || waiting > 0;
}

DWORD SerialPort::take_partial_line(char* bytes, DWORD room) {
    if (room == 0) {
        return 0;
    }
    std::lock_guard lock(termios_mutex_);
    termios lines{};
    if (tcgetattr(fd(), &lines) != 0) {
        return 0;
    }
    // Leaving canonical mode makes every byte the kernel holds readable; back in it, bytes that
    // came meanwhile count as a line of their own. Nothing is lost or reordered either way.
    termios bytewise = lines;
    bytewise.c_lflag &= ~ICANON;
    if (tcsetattr(fd(), TCSANOW, &bytewise) != 0) {
        return 0;
    }
    DWORD taken = 0;
    while (taken < room) {
        const ssize_t got = ::read(fd(), bytes + taken, room - taken);
        if (got > 0) {
            taken += static_cast<DWORD>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    tcsetattr(fd(), TCSANOW, &lines);
    return taken;
}

std::int64_t SerialPort::partial_line_wait_ns() const {
    // Half of the kernel's 4096-byte line buffer at the line's rate (10 bits a byte): 4.3 s at
    // 4800 baud, 0.36 s at 57600. An NMEA line is at most 82 bytes, so only a line without
    // sentences (noise, a receiver at another rate) ever waits this long.
    constexpr std::int64_t kHalfLineBufferBits = 2048 * 10;
    termios settings{};
    DWORD rate = tcgetattr(fd(), &settings) == 0 ? rate_for_speed(cfgetispeed(&settings)) : 0;
    if (rate == 0) {
        rate = 115200;
    }
    return kHalfLineBufferBits * 1'000'000'000 / rate;
}

bool SerialPort::set_event_mask(DWORD mask) {
    const bool lines = (mask & EV_RXFLAG) != 0;
    {
        std::lock_guard lock(termios_mutex_);
        termios settings{};
        if (tcgetattr(fd(), &settings) != 0) {
            return fail(error_for_failed_io(errno), false);
        }
        if (lines) {
            // Canonical mode with no special character but the LF: the kernel ends a read at
            // the LF and wakes the reader only then; every other byte, NUL, DEL, ^C, ^D, ^U,
            // ^W, CR and bytes from 0x80 up included, passes unchanged (no echo, no signals, no
            // CR or case translation). The NUL of a disabled character is never special.
            settings.c_lflag |= ICANON;
            settings.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
            settings.c_iflag &= ~(ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | IUCLC);
            for (int special : {VINTR, VQUIT, VERASE, VKILL, VEOF, VEOL, VEOL2, VWERASE, VLNEXT,
                                VREPRINT, VDISCARD, VSUSP}) {
                settings.c_cc[special] = _POSIX_VDISABLE;
            }
        } else {
            settings.c_lflag &= ~ICANON;
        }
        if (tcsetattr(fd(), TCSANOW, &settings) != 0) {
            return fail(error_for_failed_io(errno), false);
        }
        line_reads_.store(lines, std::memory_order_release);
    }
    std::lock_guard lock(settings_mutex_);
    event_mask_ = mask;
    return true;
}

DWORD SerialPort::event_mask() const {
    std::lock_guard lock(settings_mutex_);
    return event_mask_;
}

bool SerialPort::write(const void* buffer, DWORD size, DWORD& done) {
    done = 0;
    COMMTIMEOUTS limits = timeouts();
    std::uint32_t write_generation = write_aborts_.load(std::memory_order_acquire);
    std::int64_t deadline = kNoDeadline;
    if (limits.WriteTotalTimeoutMultiplier != 0 || limits.WriteTotalTimeoutConstant != 0) {
        std::int64_t total_ms = std::int64_t{limits.WriteTotalTimeoutMultiplier} * size +
                                limits.WriteTotalTimeoutConstant;
        deadline = monotonic_now_ns() + total_ms * kMillisecond;
    }
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < size) {
        ssize_t put = ::write(fd(), bytes + done, size - done);
        if (put > 0) {
            done += static_cast<DWORD>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return done > 0 ? true : fail(error_for_failed_io(errno), false);
        }
        Readiness readiness = await(Direction::out, deadline, write_generation);
        if (readiness == Readiness::expired || readiness == Readiness::aborted) {
            return true;  // time-out: success with the bytes written so far, as on Windows
        }
        if (readiness == Readiness::hung_up) {
            return done > 0 ? true : fail(ERROR_DEVICE_NOT_CONNECTED, false);
        }
    }
    return true;
}

bool SerialPort::get_state(DCB& dcb) const {
    termios settings{};
    if (tcgetattr(fd(), &settings) != 0) {
        return fail(error_for_failed_io(errno), false);
    }
    dcb = DCB{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = rate_for_speed(cfgetospeed(&settings));
    dcb.fBinary = 1;
    dcb.fParity = (settings.c_cflag & PARENB) != 0 ? 1 : 0;
    dcb.fOutxCtsFlow = (settings.c_cflag & CRTSCTS) != 0 ? 1 : 0;
    dcb.fDtrControl = 1;                         // DTR_CONTROL_ENABLE
    dcb.fRtsControl = dcb.fOutxCtsFlow ? 2 : 1;  // RTS_CONTROL_HANDSHAKE or _ENABLE
    dcb.fOutX = (settings.c_iflag & IXON) != 0 ? 1 : 0;
    dcb.fInX = (settings.c_iflag & IXOFF) != 0 ? 1 : 0;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    switch (settings.c_cflag & CSIZE) {
        case CS5:
            dcb.ByteSize = 5;
            break;
        case CS6:
            dcb.ByteSize = 6;
            break;
        case CS7:
            dcb.ByteSize = 7;
            break;
        default:
            dcb.ByteSize = 8;
            break;
    }
    dcb.Parity = (settings.c_cflag & PARENB) == 0   ? NOPARITY
                 : (settings.c_cflag & PARODD) != 0 ? ODDPARITY
                                                    : EVENPARITY;
    dcb.StopBits = (settings.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.XonChar = static_cast<char>(settings.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
    dcb.EvtChar = '\n';  // where line reads end (EV_RXFLAG)
    return true;
}

bool SerialPort::set_state(const DCB& dcb) {
    auto speed = speed_for_rate(dcb.BaudRate);
    bool valid = speed && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 && dcb.Parity <= EVENPARITY &&
                 (dcb.StopBits == ONESTOPBIT || dcb.StopBits == TWOSTOPBITS);
    if (!valid) {
        return fail(ERROR_INVALID_PARAMETER, false);
    }
    std::lock_guard lock(termios_mutex_);
    termios settings{};
    if (tcgetattr(fd(), &settings) != 0) {
        return fail(error_for_failed_io(errno), false);
    }
    cfsetispeed(&settings, *speed);
    cfsetospeed(&settings, *speed);
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    settings.c_cflag = (settings.c_cflag & ~CSIZE) | kSizes[dcb.ByteSize - 5];
    settings.c_cflag &= ~(PARENB | PARODD | CSTOPB | CRTSCTS);
    if (dcb.Parity != NOPARITY) {
        settings.c_cflag |= PARENB | (dcb.Parity == ODDPARITY ? PARODD : 0);
    }
    if (dcb.StopBits == TWOSTOPBITS) {
        settings.c_cflag |= CSTOPB;
    }
    if (dcb.fOutxCtsFlow) {
        settings.c_cflag |= CRTSCTS;
    }
    settings.c_iflag &= ~(IXON | IXOFF);
    settings.c_iflag |= (dcb.fOutX ? IXON : 0) | (dcb.fInX ? IXOFF : 0);
    if (tcsetattr(fd(), TCSANOW, &settings) != 0) {
        return fail(error_for_failed_io(errno), false);
    }
    // tcsetattr succeeds when any one change was made; a driver may still have kept its rate.
    termios applied{};
    if (tcgetattr(fd(), &applied) != 0 || cfgetospeed(&applied) != *speed) {
        return fail(ERROR_INVALID_PARAMETER, false);
    }
    return true;
}

COMMTIMEOUTS SerialPort::timeouts() const {
    std::lock_guard lock(settings_mutex_);
    return timeouts_;
}

void SerialPort::set_timeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard lock(settings_mutex_);
    timeouts_ = timeouts;
}

bool SerialPort::purge(DWORD flags) {
    constexpr DWORD kKnown = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if ((flags & ~kKnown) != 0) {
        return fail(ERROR_INVALID_PARAMETER, false);
    }
    if ((flags & PURGE_RXABORT) != 0) {
        abort(Direction::in);
    }
    if ((flags & PURGE_TXABORT) != 0) {
        abort(Direction::out);
    }
    bool input = (flags & PURGE_RXCLEAR) != 0;
    bool output = (flags & PURGE_TXCLEAR) != 0;
    if ((input || output) && tcflush(fd(), input && output ? TCIOFLUSH
                                           : input         ? TCIFLUSH
                                                           : TCOFLUSH) != 0) {
        return fail(error_for_failed_io(errno), false);
    }
    return true;
}

}  // namespace tarnwick::platform
