#include "server/stop_signals.h"

#include <pthread.h>

#include <utility>

namespace tarnwick::server {

StopSignals::StopSignals() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
}

StopSignals::~StopSignals() {
    if (watcher_.joinable()) {
        closing_ = true;
        // The watcher waits for exactly these signals; one sent to it alone wakes it.
        pthread_kill(watcher_.native_handle(), SIGTERM);
        watcher_.join();
    }
}

void StopSignals::watch(std::function<void()> on_stop) {
    watcher_ = std::thread([this, stop = std::move(on_stop)] {
        int number = 0;
        while (sigwait(&signals_, &number) != 0) {
        }
        if (!closing_) {
            stop();
        }
    });
}

}  // namespace tarnwick::server
