#pragma once
// How long a file replay pauses after each RMC sentence: 1000 / speed milliseconds, computed in
// single precision and truncated.
//
// A speed that is not a positive finite number (0, negative, NaN) and +infinity mean "no pause":
// the file is replayed as fast as it can be read. A pause longer than an hour (speeds below
// about 0.00028) is cut to an hour; the pause ends early anyway when the reader is destroyed.

#include <cstdint>

constexpr std::uint32_t max_replay_pause_ms = 3'600'000;

std::uint32_t replay_pause_ms(float speed) noexcept;
