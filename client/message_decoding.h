#pragma once
// Data-stream messages as bytes: where one ends, and what it says.

#include <cstddef>
#include <cstdint>
#include <span>

#include "client/stream_message.h"

namespace tarnwick::client {

// The length of the message at the start of `bytes`, from its id and the fixed record lengths
// (only a scan event, whose length depends on its strings, is read); 0 when `bytes` does not
// start with a whole message of a known id. `tstamp`: RMC messages carry a tick.
std::size_t message_length(std::span<const std::uint8_t> bytes, bool tstamp);

// Decodes exactly one message (id first); false when the bytes are not one whole message.
// `out.sequence` is left to the caller.
bool decode_message(std::span<const std::uint8_t> message, bool tstamp, StreamMessage& out);

}  // namespace tarnwick::client
