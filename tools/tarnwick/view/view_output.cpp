#include "tools/tarnwick/view/view_output.h"

#include <algorithm>
#include <cstdio>

#include "tools/tarnwick/view/view_render.h"

namespace tarnwick::cli::view {
namespace {

using std::chrono::milliseconds;

void print_line(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

ViewOutput::ViewOutput(bool full_screen) {
    if (full_screen) {
        screen_.emplace();
    }
}

void ViewOutput::before(const client::StreamMessage& message, const ViewState& state,
                        Clock::time_point now) {
    if (!screen_ && message.record && message.id == TARNWICK_RMC) {
        flush_epoch(state, now);
    }
}

void ViewOutput::after(Change change, const ViewState& state, Clock::time_point now) {
    if (change == Change::nothing) {
        return;
    }
    dirty_ = true;
    if (screen_) {
        return;
    }
    if (change == Change::epoch) {
        epoch_pending_ = true;
    } else if (change == Change::notification) {
        flush_epoch(state, now);
        print_line(render_notification_line(state.notifications.back()));
    }
}

milliseconds ViewOutput::draw_if_due(const ViewState& state, bool resized, Clock::time_point now) {
    if (!screen_) {
        return longest_wait;
    }
    const auto since = now - last_draw_;
    if (resized || since >= idle_redraw || (dirty_ && since >= frame_gap)) {
        screen_->draw(render_screen(state, screen_->size(), now), resized);
        last_draw_ = now;
        dirty_ = false;
        return longest_wait;
    }
    if (dirty_) {
        return std::clamp(std::chrono::ceil<milliseconds>(frame_gap - since), milliseconds(1),
                          longest_wait);
    }
    return longest_wait;
}

void ViewOutput::finish(const ViewState& state, Clock::time_point now) {
    if (screen_) {
        screen_.reset();
    } else {
        flush_epoch(state, now);
    }
}

bool ViewOutput::failed() const {
    return std::ferror(stdout) != 0;
}

void ViewOutput::flush_epoch(const ViewState& state, Clock::time_point now) {
    if (epoch_pending_) {
        print_line(render_summary_line(state, now));
        epoch_pending_ = false;
    }
}

}  // namespace tarnwick::cli::view
