#include "tools/tarnwick/view/input_poller.h"

#include "client/protocol_codes.h"
#include "client/service_launcher.h"

namespace tarnwick::cli::view {

InputPoller::InputPoller(std::unique_ptr<client::Client> client, std::chrono::milliseconds period)
    : client_(std::move(client)), period_(period), thread_([this] { run(); }) {}

InputPoller::~InputPoller() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void InputPoller::refresh() {
    {
        const std::lock_guard lock(mutex_);
        refresh_ = true;
    }
    wake_.notify_all();
}

PolledService InputPoller::latest() const {
    const std::lock_guard lock(mutex_);
    return latest_;
}

void InputPoller::run() {
    PolledService polled;
    for (;;) {
        polled = ask(polled);
        std::unique_lock lock(mutex_);
        latest_ = polled;
        wake_.wait_for(lock, period_, [this] { return stopping_ || refresh_; });
        if (stopping_) {
            return;
        }
        refresh_ = false;
    }
}

PolledService InputPoller::ask(const PolledService& previous) {
    PolledService polled = previous;
    if (!client::service_running()) {
        polled.running = false;
        return polled;
    }
    std::vector<client::Answer> answers;
    if (client_->send(client::RequestBatch().get_input_mode().get_connection(), answers) !=
        client::ClientError::none) {
        return polled;  // busy or slow: keep what we knew, ask again next round
    }
    InputState& input = polled.input;
    const std::int32_t mode = answers[0].result;
    const bool serial = (mode & client::input_serial) != 0;
    const bool same_serial = serial && (input.mode & client::input_serial) != 0;
    input.known = true;
    input.mode = mode;
    if (answers[1].result == 1) {
        input.port = answers[1].port;
        input.baud = answers[1].baud;
    } else if (!same_serial) {
        input.port.clear();
        input.baud = 0;
    }
    return polled;
}

}  // namespace tarnwick::cli::view
