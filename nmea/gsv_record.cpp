#include "nmea/gsv_record.h"

#include "nmea/field_rules.h"

using namespace tarnwick::nmea;

// Fields: 1 sentences in the set, 2 number of this sentence, 3 satellites in view, then groups
// of four per satellite.
bool CGSVRecord::gather(const char* const* first, const char* const* last, Talker talker,
                        int signal) noexcept {
    const SentenceFields f(first, last);
    const Tagging tagging{talker, signal};
    if (total == 0) {
        return take_first_sentence(f, tagging);
    }
    if (f.given(1) && to_int(f[1]) != total) {
        clear();
        return false;
    }
    if (f.given(2)) {
        const std::int32_t sentence = to_int(f[2]);
        if (sentence == 1) {
            // A new set begins; the unfinished one is dropped.
            clear();
            return take_first_sentence(f, tagging);
        }
        // Wraps rather than overflows in a set whose total can never be reached.
        number = static_cast<std::int32_t>(static_cast<std::uint32_t>(number) + 1);
        if (sentence != number) {
            clear();
            return false;
        }
    }
    if (!take_satellites(f, tagging)) {
        clear();
    }
    return true;
}

bool CGSVRecord::take_first_sentence(const SentenceFields& f, Tagging tagging) noexcept {
    if (f.given(1)) {
        total = to_int(f[1]);
    }
    if (f.given(2)) {
        number = to_int(f[2]);
        if (number != 1) {
            clear();
            return false;
        }
    }
    if (!take_satellites(f, tagging)) {
        clear();
    }
    return true;
}

bool CGSVRecord::take_satellites(const SentenceFields& f, Tagging tagging) noexcept {
    if (f.given(3)) {
        const std::int32_t reported = to_int(f[3]);
        if (in_view == 0) {
            in_view = reported;
        } else if (in_view != reported) {
            return false;
        }
    }
    const std::size_t n = f.size();
    if (n < 3 || (n - 3) % 4 != 0) {
        return false;
    }
    for (std::size_t group = 4; group + 3 <= n && count >= 0 && count < capacity; group += 4) {
        CGSVSatellite& entry = satellites[count++];
        entry.parse(f[group], f[group + 1], f[group + 2], f[group + 3]);
        if (tagging.talker != Talker::none) {
            const int prn = entry.prn == CGSVSatellite::empty8 ? 0 : entry.prn;
            entry.tag = satellite_tag(system_of(tagging.talker, prn), tagging.signal);
        }
    }
    return true;
}
