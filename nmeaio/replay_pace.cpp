#include "nmeaio/replay_pace.h"

#include <cmath>

std::uint32_t replay_pause_ms(float speed) noexcept {
    if (!(speed > 0.0f) || std::isinf(speed)) {
        return 0;
    }
    const float pause = 1000.0f / speed;
    if (!(pause < static_cast<float>(max_replay_pause_ms))) {
        return max_replay_pause_ms;
    }
    return static_cast<std::uint32_t>(pause);
}
