#include "tools/tarnwick/view/live_view.h"

#include <algorithm>

#include "client/watcher.h"
#include "tools/tarnwick/service_command.h"
#include "tools/tarnwick/view/input_poller.h"
#include "tools/tarnwick/view/terminal_screen.h"
#include "tools/tarnwick/view/view_model.h"
#include "tools/tarnwick/view/view_output.h"
#include "tools/tarnwick/view/view_signals.h"

namespace tarnwick::cli::view {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds input_poll_period{1000};
// Short: an answer that takes longer is skipped, the next round asks again.
constexpr milliseconds input_answer_timeout{2000};

enum class Ending { asked, stream_failed, service_stopped };

}  // namespace

int run_live_view(std::unique_ptr<client::Client> client, const LiveViewOptions& options) {
    std::unique_ptr<client::Watcher> watcher;
    if (const auto error = client::Watcher::open(*client, watcher);
        error != client::ClientError::none) {
        return report_error("watch", error);
    }
    client::ClientOptions poller_options;
    poller_options.may_start = false;
    poller_options.answer_timeout = input_answer_timeout;
    std::unique_ptr<client::Client> poller_client;
    if (const auto error = client::Client::open(poller_options, poller_client);
        error != client::ClientError::none) {
        return report_error("watch", error);
    }

    ViewSignals signals;
    ViewModel model;
    InputPoller poller(std::move(poller_client), input_poll_period);
    ViewOutput output(TerminalScreen::available());
    const bool bounded = options.seconds > 0;
    const auto deadline =
        Clock::now() + milliseconds(static_cast<long long>(options.seconds * 1000));
    Ending ending = Ending::asked;
    client::ClientError stream_error = client::ClientError::none;

    while (!signals.stop_requested()) {
        Clock::time_point now = Clock::now();
        if (bounded && now >= deadline) {
            break;
        }
        const PolledService polled = poller.latest();
        if (model.set_input(polled.input)) {
            output.input_changed();
        }
        if (!polled.running) {
            model.service_stopped(now);
            output.after(Change::notification, model.state(), now);
            ending = Ending::service_stopped;
            break;
        }
        milliseconds wait = output.draw_if_due(model.state(), signals.take_resize(), now);
        if (bounded) {
            wait = std::min(wait, std::chrono::ceil<milliseconds>(deadline - now));
        }
        client::StreamMessage message;
        std::uint64_t lost = 0;
        const client::ClientError error = watcher->next(wait, message, lost);
        now = Clock::now();
        if (lost != 0) {
            model.messages_lost(lost, now);
            output.after(Change::notification, model.state(), now);
        }
        if (error == client::ClientError::timed_out) {
            continue;
        }
        if (error != client::ClientError::none) {
            ending = Ending::stream_failed;
            stream_error = error;
            break;
        }
        output.before(message, model.state(), now);
        const Change change = model.apply(message, now);
        output.after(change, model.state(), now);
        if (change == Change::notification) {
            poller.refresh();  // the input has probably changed
        }
    }
    output.finish(model.state(), Clock::now());

    switch (ending) {
        case Ending::stream_failed:
            return report_error("watch", stream_error);
        case Ending::service_stopped:
            return fail("watch", "the service stopped", exit_no_service);
        case Ending::asked:
            break;
    }
    return output.failed() ? fail("watch", "cannot write the view", exit_request_failed) : exit_ok;
}

}  // namespace tarnwick::cli::view
