#include "tools/tarnwick/progress_output.h"

#include <unistd.h>

#include <future>

namespace tarnwick::cli {
namespace {

// Clears the terminal line the cursor is on and returns to its start.
constexpr const char* erase_line = "\r\033[K";

constexpr std::chrono::milliseconds status_refresh{250};

}  // namespace

ProgressOutput::ProgressOutput(bool quiet, bool stdout_is_data) {
    if (quiet) {
        return;
    }
    const bool stdout_terminal = isatty(STDOUT_FILENO) == 1;
    stream_ = stdout_terminal && !stdout_is_data ? stdout : stderr;
    live_ = isatty(fileno(stream_)) == 1;
}

ProgressOutput::~ProgressOutput() {
    clear_status();
}

void ProgressOutput::line(const std::string& text) {
    if (stream_ == nullptr) {
        return;
    }
    clear_status();
    std::fprintf(stream_, "%s\n", text.c_str());
    std::fflush(stream_);
}

void ProgressOutput::status(const std::string& text) {
    if (stream_ == nullptr || !live_) {
        return;
    }
    std::fprintf(stream_, "%s%s", erase_line, text.c_str());
    std::fflush(stream_);
    status_shown_ = true;
}

void ProgressOutput::clear_status() {
    if (!status_shown_) {
        return;
    }
    std::fputs(erase_line, stream_);
    std::fflush(stream_);
    status_shown_ = false;
}

client::ClientError wait_for_answer(ProgressOutput& progress, const std::string& what,
                                    std::chrono::seconds limit,
                                    const std::function<client::ClientError()>& request) {
    const std::string bound = " (up to " + std::to_string(limit.count()) + " s)";
    if (!progress.live()) {
        progress.line(what + bound);
        return request();
    }
    // The request blocks; the seconds are counted beside it so that a slow answer shows as one.
    std::future<client::ClientError> answer = std::async(std::launch::async, request);
    const auto started = std::chrono::steady_clock::now();
    while (answer.wait_for(status_refresh) != std::future_status::ready) {
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - started);
        progress.status(what + ": " + std::to_string(waited.count()) + " s of up to " +
                        std::to_string(limit.count()) + " s");
    }
    progress.clear_status();
    return answer.get();
}

}  // namespace tarnwick::cli
