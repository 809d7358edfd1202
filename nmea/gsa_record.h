#pragma once
// GSA, satellites used in the fix and dilution of precision (message id 2). At least 17 data
// fields: mode, fix type, the satellite slots, then PDOP, HDOP and VDOP as the last three.
// Serialized: 48 bytes.

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "nmea/field_list_record.h"

class CGSARecord : public CFieldListRecord<CGSARecord> {
  public:
    static constexpr int min_fields = 17;
    static constexpr int capacity = 30;
    static constexpr std::uint8_t empty_slot = 0xFF;

    char mode = 0;               // M manual, A automatic
    std::int32_t fix_type = 1;   // 1 none, 2 two-dimensional, 3 three-dimensional
    std::uint8_t prn[capacity];  // in sentence order; empty_slot where the sentence had none
    // Satellite slots the sentence carried, empty ones included; a sentence with more slots
    // than the capacity keeps the first ones and counts only those.
    std::int8_t prn_count = 0;
    float pdop = 0;
    float hdop = 0;
    float vdop = 0;

    CGSARecord() noexcept { std::fill(std::begin(prn), std::end(prn), empty_slot); }

    void clear() noexcept { *this = CGSARecord{}; }
    bool parse(const char* const* first, const char* const* last) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.mode);
        visit(self.fix_type);
        visit(self.prn);
        visit(self.prn_count);
        visit(self.pdop);
        visit(self.hdop);
        visit(self.vdop);
    }
};
