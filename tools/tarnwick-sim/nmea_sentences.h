#pragma once
// Writes epochs as the NMEA-0183 sentences a GPS receiver sends once a second.

#include <string>
#include <string_view>

#include "tools/tarnwick-sim/epoch.h"

namespace tarnwick::sim {

// The two hexadecimal digits of the XOR of every byte of body.
std::string nmea_checksum(std::string_view body);

// Appends "$", body, "*", the checksum and CR LF.
void append_sentence(std::string& out, std::string_view body);

// Appends the epoch's RMC, GGA, GSA, GSV set (four satellites per sentence), VTG and GLL.
void append_epoch_sentences(std::string& out, const Epoch& epoch);

}  // namespace tarnwick::sim
