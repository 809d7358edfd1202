#pragma once
// PORZA, a proprietary sentence (message id 6). At least 3 data fields. Serialized: 12 bytes.
// The three integers are passed on as they came; the service gives them no meaning.

#include <cstdint>

#include "nmea/field_list_record.h"

class CPORZARecord : public CFieldListRecord<CPORZARecord> {
  public:
    static constexpr int min_fields = 3;

    std::int32_t param1 = 0;
    std::int32_t param2 = 0;
    std::int32_t param3 = 0;

    void clear() noexcept { *this = CPORZARecord{}; }
    bool parse(const char* const* first, const char* const* last) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.param1);
        visit(self.param2);
        visit(self.param3);
    }
};
