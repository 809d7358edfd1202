#pragma once
// Baud rates and their termios speed constants.

#include <termios.h>

#include <optional>

#include "platform/win32.h"

namespace tarnwick::platform {

// The termios constant for a rate; nothing for rates termios cannot set.
std::optional<speed_t> speed_for_rate(DWORD rate);
// The rate of a termios constant (0 for B0 or an unknown constant).
DWORD rate_for_speed(speed_t speed);

}  // namespace tarnwick::platform
