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

// Which receiver speaks: one of the GPS era (talker GP), or a multi-system receiver of NMEA
// 0183 4.11 (GN, GL, GA, GB; signal ids; GPS, GLONASS, Galileo and BeiDou satellites).
enum class SentenceSet { gps, gnss };

// Appends the epoch's RMC, GGA, GSA, GSV set (four satellites per sentence), VTG and GLL. The
// GNSS set has one GSA per system (with its system id) and, per system, one GSV set of the L1
// signal and one of a second signal.
void append_epoch_sentences(std::string& out, const Epoch& epoch,
                            SentenceSet set = SentenceSet::gps);

}  // namespace tarnwick::sim
