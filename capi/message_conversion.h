#pragma once
// A decoded message of the data stream in the tagged form of the C interface.

#include "capi/tarnwick.h"
#include "client/stream_message.h"

namespace tarnwick::capi {

// Every member of `to` that `from` does not carry is zero.
void to_c_message(const client::StreamMessage& from, tarnwick_message& to);

}  // namespace tarnwick::capi
