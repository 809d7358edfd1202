#include "tools/tarnwick/view/terminal_screen.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::cli::view {
namespace {

constexpr const char* enter_screen = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";
constexpr const char* leave_screen = "\x1b[?25h\x1b[?1049l";
constexpr const char* home = "\x1b[H";
constexpr const char* clear_screen = "\x1b[2J";
constexpr const char* clear_line_rest = "\x1b[K";
constexpr const char* clear_below = "\x1b[J";

void write_all(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;  // the terminal went away; nothing left to show it on
        }
        done += static_cast<std::size_t>(written);
    }
}

}  // namespace

bool TerminalScreen::available() {
    return isatty(STDOUT_FILENO) == 1;
}

TerminalScreen::TerminalScreen() {
    // Keys typed while the view runs would otherwise land in the middle of the screen.
    if (isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &saved_input_) == 0) {
        termios quiet = saved_input_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON);
        echo_off_ = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
    }
    write_all(enter_screen);
}

TerminalScreen::~TerminalScreen() {
    write_all(leave_screen);
    if (echo_off_) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_input_);
    }
}

ScreenSize TerminalScreen::size() const {
    winsize window{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &window) != 0 || window.ws_row == 0 ||
        window.ws_col == 0) {
        return {};
    }
    return {window.ws_row, window.ws_col};
}

void TerminalScreen::draw(const std::vector<std::string>& lines, bool clear_all) {
    std::string frame = clear_all ? std::string(clear_screen) + home : std::string(home);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // No line feed after the last line: on the bottom row it would scroll the screen.
        frame += lines[i] + clear_line_rest + (i + 1 < lines.size() ? "\r\n" : "");
    }
    frame += clear_below;
    write_all(frame);
}

}  // namespace tarnwick::cli::view
