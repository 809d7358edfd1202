#include "tools/tarnwick/view/view_signals.h"

#include <atomic>
#include <iterator>

namespace tarnwick::cli::view {
namespace {

std::atomic<bool> stop_flag{false};
std::atomic<bool> resize_flag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "flags are set in signal handlers");

void on_signal(int number) {
    (number == SIGWINCH ? resize_flag : stop_flag).store(true, std::memory_order_relaxed);
}

}  // namespace

ViewSignals::ViewSignals() {
    stop_flag.store(false);
    resize_flag.store(false);
    struct sigaction action = {};
    action.sa_handler = on_signal;
    // Calls in progress go on; the loop sees the flag at its next turn.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(handled); ++i) {
        sigaction(handled[i], &action, &saved_[i]);
    }
}

ViewSignals::~ViewSignals() {
    for (std::size_t i = 0; i < std::size(handled); ++i) {
        sigaction(handled[i], &saved_[i], nullptr);
    }
}

bool ViewSignals::stop_requested() const noexcept {
    return stop_flag.load(std::memory_order_relaxed);
}

bool ViewSignals::take_resize() noexcept {
    return resize_flag.exchange(false, std::memory_order_relaxed);
}

}  // namespace tarnwick::cli::view
