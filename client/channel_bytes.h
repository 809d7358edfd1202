#pragma once
// Taking what a channel holds: every stored byte, and the channel left empty.

#include <cstdint>
#include <vector>

#include "exchange/exchange_buffer.h"

namespace tarnwick::client {

std::vector<std::uint8_t> take_stored_bytes(GPS::exchange_buffer& channel);

}  // namespace tarnwick::client
