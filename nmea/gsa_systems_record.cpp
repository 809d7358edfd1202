#include "nmea/gsa_systems_record.h"

using namespace tarnwick::nmea;

void CGSASystemsRecord::assign(const CGSARecord& gsa, Talker talker, int system_id) noexcept {
    clear();
    const int slots = std::clamp<int>(gsa.prn_count, 0, capacity);
    for (int i = 0; i < slots; ++i) {
        if (gsa.prn[i] == CGSARecord::empty_slot) {
            continue;
        }
        system[i] = system_id > 0 && system_id <= 15
                        ? static_cast<std::uint8_t>(system_id)
                        : static_cast<std::uint8_t>(system_of(talker, gsa.prn[i]));
    }
}
