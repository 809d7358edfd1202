#include "nmea/gsv_sets.h"

#include <algorithm>

#include "nmea/field_conversion.h"
#include "nmea/sentence_fields.h"

using namespace tarnwick::nmea;

namespace {

bool gathering(const CGSVRecord& record) noexcept {
    return record.total != 0 && !record.is_complete();
}

}  // namespace

CGSVSets::Outcome CGSVSets::gather(Talker talker, const char* const* first,
                                   const char* const* last) noexcept {
    const SentenceFields f(first, last);
    const std::size_t n = f.size();
    // 3 + 4k fields, then the signal id: the one shape a signal-id field can be told by.
    int signal = 0;
    if (n >= 4 && (n - 3) % 4 == 1) {
        signal = std::max(0, hex_digit_field(f[n]));
        --last;
    }
    Slot& slot = slot_for(talker, signal, f);
    slot.last_use = ++clock_;
    if (slot.record.is_complete()) {
        slot.record.clear();
    }
    Outcome outcome;
    outcome.accepted = slot.record.gather(first, last, talker, signal);
    if (outcome.accepted && slot.record.is_complete()) {
        outcome.complete = &slot.record;
    }
    return outcome;
}

CGSVSets::Slot& CGSVSets::slot_for(Talker talker, int signal, const SentenceFields& f) noexcept {
    Slot* own = nullptr;
    for (Slot& slot : slots_) {
        if (slot.talker == talker && slot.signal == signal) {
            own = &slot;
            break;
        }
    }
    if (own != nullptr && gathering(own->record)) {
        return *own;
    }
    // A later sentence of another signal that goes on with a set of the same talker.
    const std::int32_t total = f.given(1) ? to_int(f[1]) : 0;
    const std::int32_t number = f.given(2) ? to_int(f[2]) : 0;
    if (number > 1) {
        for (Slot& slot : slots_) {
            if (slot.talker == talker && gathering(slot.record) && slot.record.total == total &&
                slot.record.number + 1 == number) {
                return slot;
            }
        }
    }
    if (own != nullptr) {
        return *own;
    }
    Slot* oldest = &slots_[0];
    for (Slot& slot : slots_) {
        if (slot.talker == Talker::none) {
            oldest = &slot;
            break;
        }
        if (slot.last_use < oldest->last_use) {
            oldest = &slot;
        }
    }
    oldest->record.clear();
    oldest->talker = talker;
    oldest->signal = signal;
    return *oldest;
}
