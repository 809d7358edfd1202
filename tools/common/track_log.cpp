#include "tools/common/track_log.h"

namespace tarnwick::tools {

TrackLog::TrackLog(TrackFormat format, std::string& out, std::uint64_t point_limit)
    : document_(make_track_document(format)), out_(out), limit_(point_limit) {
    document_->begin(out_);
}

void TrackLog::take(const std::optional<TrackPoint>& point) {
    if (point && !full()) {
        document_->point(out_, *point);
        ++points_;
    }
}

bool TrackLog::add(const client::Record& record) {
    if (!full() && !finished_) {
        take(epochs_.add(record));
    }
    return !full();
}

void TrackLog::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    take(epochs_.finish());
    document_->end(out_);
}

}  // namespace tarnwick::tools
