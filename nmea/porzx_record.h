#pragma once
// PORZX, the receiver's answer to the query "aaGPQ,PORZX" (message id 7). At least 6 data
// fields; the third and fourth are not read. Serialized: 13 bytes. The receiver setting is
// `receiver`; the other values go back unchanged in the command that changes it.

#include <cstdint>

#include "nmea/field_list_record.h"

class CPORZXRecord : public CFieldListRecord<CPORZXRecord> {
  public:
    static constexpr int min_fields = 6;

    std::int32_t param1 = 0;
    std::int32_t receiver = 0;
    std::int32_t param5 = 0;
    char param6 = 0;  // first character of its field, whatever the field's length

    void clear() noexcept { *this = CPORZXRecord{}; }
    bool parse(const char* const* first, const char* const* last) noexcept;

    // Wire order.
    template <typename Self, typename Visit>
    static void each_field(Self& self, Visit&& visit) {
        visit(self.param1);
        visit(self.receiver);
        visit(self.param5);
        visit(self.param6);
    }
};
