#pragma once
// GNSS mode only (message id 9): the satellite system of each PRN slot of the GSA that the
// parser delivers right after it. A 4.10 receiver sends one GSA per system and numbers each
// system's satellites from 1, so the PRN alone does not say which satellite is meant.
// Serialized: 30 bytes, one SatelliteSystem per slot of the GSA record; 0 for an empty slot or
// a satellite of no known system.

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "nmea/field_list_record.h"
#include "nmea/gsa_record.h"
#include "nmea/satellite_system.h"

class CGSASystemsRecord : public CFieldListRecord<CGSASystemsRecord> {
  public:
    static constexpr int capacity = CGSARecord::capacity;

    std::uint8_t system[capacity] = {};

    void clear() noexcept { std::fill(std::begin(system), std::end(system), std::uint8_t{0}); }
    // The systems of `gsa`'s slots: the sentence's system id when it carried one (1 to 15),
    // else what the talker and each number say (satellite_system.h).
    void assign(const CGSARecord& gsa, tarnwick::nmea::Talker talker, int system_id) noexcept;

    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.system);
    }
};
