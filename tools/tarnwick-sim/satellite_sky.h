#pragma once
// The satellites above the receiver: each one crosses the sky slowly, rises or sets over a
// drive of a few minutes, and is heard with a signal that follows its elevation.

#include <vector>

#include "tools/tarnwick-sim/epoch.h"
#include "tools/tarnwick-sim/random_source.h"

namespace tarnwick::sim {

class SatelliteSky {
  public:
    // max_in_view caps the report at the highest satellites (a receiver's channel count).
    SatelliteSky(std::uint64_t seed, int max_in_view) noexcept;

    // The satellites above the horizon mask, seconds after the start, in PRN order. When
    // tracking is false (antenna shaded) most of them are listed without a signal.
    std::vector<SatelliteInView> in_view(double seconds, bool tracking);

  private:
    RandomSource random_;
    int max_in_view_;
};

// The satellites a receiver would use for its fix: the tracked ones, strongest first, at most
// twelve, listed in PRN order.
std::vector<int> choose_used_satellites(const std::vector<SatelliteInView>& in_view);

}  // namespace tarnwick::sim
