#pragma once
// GNSS mode: the GSV sets of one epoch come from several talkers (one per system) and, from
// NMEA 4.10 on, one set per signal, each numbered on its own. Every talker and signal gathers
// into a record of its own so that the sets do not break each other. A set may also change its
// signal id from one sentence to the next while its numbering goes on (some receivers do so);
// such a sentence continues the set it follows.

#include <cstdint>

#include "nmea/gsv_record.h"
#include "nmea/satellite_system.h"
#include "nmea/sentence_fields.h"

class CGSVSets {
  public:
    // More talker and signal pairs than this in one epoch reuse the least recently fed record.
    static constexpr int slots = 8;

    struct Outcome {
        bool accepted = false;
        // The record of the set this sentence completed, null while the set goes on.
        CGSVRecord* complete = nullptr;
    };

    // One GSV sentence of the talker, its trailing signal-id field (when it has one) included.
    Outcome gather(tarnwick::nmea::Talker talker, const char* const* first,
                   const char* const* last) noexcept;

  private:
    struct Slot {
        CGSVRecord record;
        tarnwick::nmea::Talker talker = tarnwick::nmea::Talker::none;
        int signal = 0;
        std::uint32_t last_use = 0;
    };

    // The numbers of the set (fields 1 and 2) are read only when the pair's own record does
    // not go on with it.
    Slot& slot_for(tarnwick::nmea::Talker talker, int signal,
                   const tarnwick::nmea::SentenceFields& f) noexcept;

    Slot slots_[slots];
    std::uint32_t clock_ = 0;
};
