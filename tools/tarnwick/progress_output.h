#pragma once
// Where a command that waits says what it is waiting for. Progress goes to standard output when
// that is a terminal, and to standard error otherwise (or when standard output carries JSON), so
// that a script reading standard output gets the result alone. On a terminal one status line is
// redrawn in place below the lines already written.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "client/client_error.h"

namespace tarnwick::cli {

class ProgressOutput {
  public:
    // `quiet`: say nothing at all. `stdout_is_data`: standard output carries machine-readable
    // output, so progress never goes there.
    ProgressOutput(bool quiet, bool stdout_is_data);
    ~ProgressOutput();
    ProgressOutput(const ProgressOutput&) = delete;
    ProgressOutput& operator=(const ProgressOutput&) = delete;

    // A line that stays.
    void line(const std::string& text);
    // Replaces the status line; nothing happens unless the progress goes to a terminal.
    void status(const std::string& text);
    // Removes the status line, before the result is printed below it.
    void clear_status();

    // Progress goes to a terminal, where a status line can change in place.
    bool live() const noexcept { return live_; }

  private:
    std::FILE* stream_ = nullptr;  // null when quiet
    bool live_ = false;
    bool status_shown_ = false;
};

// Runs `request` (one blocking request to the service) and, while it runs, says what it waits
// for: once as a line ("<what> (up to 8 s)"), or on a terminal as a status line counting the
// seconds. Returns what the request returned.
client::ClientError wait_for_answer(ProgressOutput& progress, const std::string& what,
                                    std::chrono::seconds limit,
                                    const std::function<client::ClientError()>& request);

}  // namespace tarnwick::cli
