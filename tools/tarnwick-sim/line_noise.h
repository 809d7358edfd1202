#pragma once
// What a receiver's bytes look like to a port set to another line speed: every character is
// sampled at the wrong bit times, so the reader gets a different number of bytes, none of them
// the original ones. The noise never holds a '$', so no sentence can ever start in it.

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/tarnwick-sim/random_source.h"

namespace tarnwick::sim {

// The bytes a port at `heard_rate` baud receives while `sent` goes out at `sent_rate` baud:
// about sent.size() * heard_rate / sent_rate bytes (at least one for a non-empty text).
std::string wrong_speed_noise(std::string_view sent, std::uint32_t sent_rate,
                              std::uint32_t heard_rate, RandomSource& random);

}  // namespace tarnwick::sim
