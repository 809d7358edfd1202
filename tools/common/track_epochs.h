#pragma once
// Gathers records into epochs and turns each epoch of a valid fix into a track point.
//
// An epoch is keyed on the time of day: the RMC and the GGA of one moment carry the same UTC
// time, in whichever order the receiver sends them, and a GSA (which has no time) belongs to
// the epoch of the last timed record before it. An RMC or GGA with another time, or a second
// RMC or GGA of the same time, begins the next epoch. Other records do not take part.

#include <optional>

#include "client/stream_message.h"
#include "tools/common/track_point.h"

namespace tarnwick::tools {

class TrackEpochs {
  public:
    // Takes the next record; the point of the epoch it ended, if that epoch had a valid fix.
    std::optional<TrackPoint> add(const client::Record& record);
    // Ends the epoch in progress (at the end of the input); its point, if any.
    std::optional<TrackPoint> finish();

  private:
    // True when a record of `time` cannot join the epoch in progress.
    bool begins_another(const client::Time& time, bool already_has) const noexcept;

    Epoch epoch_;
    std::optional<client::Time> time_;
};

}  // namespace tarnwick::tools
