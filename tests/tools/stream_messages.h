#pragma once
// Data-stream messages made from NMEA text as the service makes them: each sentence parsed,
// each delivered record serialized behind its id, and the bytes decoded as a client decodes
// them. Notifications built from their wire bytes likewise.

#include <cstdint>
#include <string_view>
#include <vector>

#include "client/stream_message.h"

namespace tarnwick::test {

// One message per record the sentences deliver (one per complete GSV set). Lines end at '\n'.
std::vector<client::StreamMessage> messages_from_nmea(std::string_view sentences);

// A notification without a body (1011, 1012) or with one int32 (1013).
client::StreamMessage notification_message(std::int32_t id, std::int32_t value = 0);
// A scan event (1003) for a port; EndScan gets an empty summary.
client::StreamMessage scan_message(std::int32_t code, const std::wstring& port, std::int32_t value);

}  // namespace tarnwick::test
