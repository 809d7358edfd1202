#include "tools/common/track_epochs.h"

#include <utility>

namespace tarnwick::tools {

bool TrackEpochs::begins_another(const client::Time& time, bool already_has) const noexcept {
    if (already_has) {
        return true;
    }
    return time_ && (time_->hour != time.hour || time_->minute != time.minute ||
                     time_->second != time.second);
}

std::optional<TrackPoint> TrackEpochs::add(const client::Record& record) {
    std::optional<TrackPoint> ended;
    if (const auto* rmc = std::get_if<client::RMC>(&record)) {
        if (begins_another(rmc->time, epoch_.rmc.has_value())) {
            ended = finish();
        }
        epoch_.rmc = *rmc;
        time_ = rmc->time;
    } else if (const auto* gga = std::get_if<client::GGA>(&record)) {
        if (begins_another(gga->time, epoch_.gga.has_value())) {
            ended = finish();
        }
        epoch_.gga = *gga;
        time_ = gga->time;
    } else if (const auto* gsa = std::get_if<client::GSA>(&record)) {
        // With several systems there is one GSA for each; their dilutions are the same.
        epoch_.gsa = *gsa;
    }
    return ended;
}

std::optional<TrackPoint> TrackEpochs::finish() {
    std::optional<TrackPoint> point = track_point_of(epoch_);
    epoch_ = {};
    time_.reset();
    return point;
}

}  // namespace tarnwick::tools
