#pragma once
// GSV, satellites in view (message id 3). One report spreads over a set of sentences; the
// record gathers them and the parser delivers it once the set is complete. Serialized: 184
// bytes, `in_view` then the 30 entries; the set bookkeeping is not serialized.

#include <cstdint>

#include "nmea/gsv_satellite.h"
#include "nmea/record.h"
#include "nmea/sentence_fields.h"

class CGSVRecord : public CNMEARecord {
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
    bool gather(const char* const* first, const char* const* last) noexcept;

    void serialize(GPS::ostream& out) const override;
    // Reads `in_view` and the entries; the set bookkeeping stays as it was.
    void deserialize(GPS::istream& in) override;

  private:
    bool take_first_sentence(const tarnwick::nmea::SentenceFields& fields) noexcept;
    bool take_satellites(const tarnwick::nmea::SentenceFields& fields) noexcept;
};
