#pragma once
// GSV, satellites in view (message id 3). One report spreads over a set of sentences; the
// record gathers them and the parser delivers it once the set is complete. Serialized: 184
// bytes, `in_view` then the 30 entries; the set bookkeeping is not serialized.

#include <cstdint>

#include "nmea/field_list_record.h"
#include "nmea/gsv_satellite.h"
#include "nmea/satellite_system.h"
#include "nmea/sentence_fields.h"

class CGSVRecord : public CFieldListRecord<CGSVRecord> {
  public:
    static constexpr int capacity = 30;

    std::int32_t total = 0;   // sentences in the current set; 0 while no set is under way
    std::int32_t number = 0;  // number of the last sentence taken
    // Entries filled so far; satellites beyond the capacity are dropped and not counted.
    std::int32_t count = 0;
    std::int32_t in_view = 0;
    CGSVSatellite satellites[capacity];

    void clear() noexcept { *this = CGSVRecord{}; }
    bool is_complete() const noexcept { return total != 0 && total == number; }

    // Takes one sentence of a set. False, with the record cleared, when the sentence breaks the
    // set's sequence (a first sentence not numbered 1, a changed total, a skipped number). A
    // satellite block of the wrong shape drops what was gathered but is not a refusal.
    bool gather(const char* const* first, const char* const* last) noexcept {
        return gather(first, last, tarnwick::nmea::Talker::none, 0);
    }
    // The same for the GNSS mode: every entry taken is tagged with its system (from the
    // talker and its number) and the sentence's signal id. The fields hold no signal id.
    bool gather(const char* const* first, const char* const* last, tarnwick::nmea::Talker talker,
                int signal) noexcept;

    // Wire order. The set bookkeeping is not on the wire: reading a record leaves it as it was.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.in_view);
        visit(self.satellites);
    }

  private:
    struct Tagging {
        tarnwick::nmea::Talker talker;
        int signal;
    };
    bool take_first_sentence(const tarnwick::nmea::SentenceFields& fields,
                             Tagging tagging) noexcept;
    bool take_satellites(const tarnwick::nmea::SentenceFields& fields, Tagging tagging) noexcept;
};
