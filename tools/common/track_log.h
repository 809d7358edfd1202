#pragma once
// The records of a recording or of the data stream, in order, written out as a track document:
// the epochs (track_epochs.h) of valid fixes become its points.

#include <cstdint>
#include <memory>
#include <string>

#include "client/stream_message.h"
#include "tools/common/track_document.h"
#include "tools/common/track_epochs.h"

namespace tarnwick::tools {

class TrackLog {
  public:
    // At most `point_limit` points (0: no limit). Appends the document's opening to out.
    TrackLog(TrackFormat format, std::string& out, std::uint64_t point_limit = 0);

    // Takes the next record, appending the point of an epoch it ended. False once the track
    // holds point_limit points: the log takes nothing more.
    bool add(const client::Record& record);
    // Appends the point of the epoch in progress, if there is room for it, and the closing.
    void finish();

    std::uint64_t points() const noexcept { return points_; }

  private:
    bool full() const noexcept { return limit_ != 0 && points_ >= limit_; }
    void take(const std::optional<TrackPoint>& point);

    std::unique_ptr<TrackDocument> document_;
    std::string& out_;
    std::uint64_t limit_;
    std::uint64_t points_ = 0;
    TrackEpochs epochs_;
    bool finished_ = false;
};

}  // namespace tarnwick::tools
