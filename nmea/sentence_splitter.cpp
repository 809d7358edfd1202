#include "nmea/sentence_splitter.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "nmea/field_conversion.h"

namespace tarnwick::nmea {
namespace {

// The running checksum is kept as a block of byte lanes XORed together and folded at the end,
// so that whole blocks of text can go in at once.
unsigned fold_lanes(std::uint64_t lanes) noexcept {
    lanes ^= lanes >> 32;
    lanes ^= lanes >> 16;
    lanes ^= lanes >> 8;
    return static_cast<unsigned>(lanes & 0xFF);
}

#if defined(__SSE2__)
// The bytes of a block at positions [from, to), the others zero.
__m128i bytes_between(__m128i block, int from, int to) noexcept {
    alignas(16) static constexpr unsigned char ramp[48] = {
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
        0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0,
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0};
    const __m128i at_or_after_from =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(ramp + 16 - from));
    const __m128i before_to = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ramp + 32 - to));
    return _mm_and_si128(block, _mm_and_si128(at_or_after_from, before_to));
}

std::uint64_t folded(__m128i block) noexcept {
    std::uint64_t halves[2];
    std::memcpy(halves, &block, sizeof halves);
    return halves[0] ^ halves[1];
}
#endif

class Splitter {
  public:
    Splitter(char** fields, int max_fields) noexcept : fields_(fields), max_fields_(max_fields) {}

    SplitOutcome run(char* text, const char* end) noexcept {
        char* p = text;
#if defined(__SSE2__)
        // Sixteen characters at a time while sixteen remain before end; the rest through the
        // last sixteen characters before end, skipping those already seen. Nothing at or past
        // end is ever read.
        SplitOutcome outcome = SplitOutcome::NotConfirmed;
        for (; end - p >= 16; p += 16) {
            if (scan_block(p, 0, end, outcome)) {
                return outcome;
            }
        }
        if (p != end && end - text >= 16) {
            char* const last_block = p - (16 - (end - p));
            scan_block(last_block, static_cast<int>(p - last_block), end, outcome);
            return outcome;
        }
#endif
        for (; p != end; ++p) {
            const char c = *p;
            if (c == '*') {
                return finish(p, end);
            }
            lanes_ ^= static_cast<unsigned char>(c);
            if (c == ',') {
                if (!take_field_after(p)) {
                    return SplitOutcome::TooManyFields;
                }
            }
        }
        return SplitOutcome::NotConfirmed;
    }

    int count() const noexcept {
        return count_;
    }

  private:
#if defined(__SSE2__)
    // Takes positions [from, 16) of the block at base. True when the sentence is settled (a
    // "*" or too many fields), with the outcome set; false to go on after the block.
    bool scan_block(char* base, int from, const char* end, SplitOutcome& outcome) noexcept {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base));
        const unsigned unseen = 0xFFFFu << from;
        const unsigned commas =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(',')))) &
            unseen;
        const unsigned stars =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('*')))) &
            unseen;
        const int stop = stars != 0 ? std::countr_zero(stars) : 16;
        lanes_ ^= folded(bytes_between(block, from, stop));
        if (!take_commas(base, commas & ((1u << stop) - 1))) {
            outcome = SplitOutcome::TooManyFields;
            return true;
        }
        if (stars != 0) {
            outcome = finish(base + stop, end);
            return true;
        }
        outcome = SplitOutcome::NotConfirmed;
        return false;
    }
#endif

    // Ends the field at a comma and starts the next one after it.
    bool take_field_after(char* comma) noexcept {
        *comma = '\0';
        if (count_ == max_fields_) {
            return false;
        }
        fields_[++count_] = comma + 1;
        return true;
    }

    // The commas of one block, in order, as bits over its positions.
    bool take_commas(char* block, unsigned commas) noexcept {
        for (; commas != 0; commas &= commas - 1) {
            if (!take_field_after(block + std::countr_zero(commas))) {
                return false;
            }
        }
        return true;
    }

    SplitOutcome finish(char* star, const char* end) noexcept {
        *star = '\0';
        const long sent = hex_to_long(star + 1, end);
        return sent == static_cast<long>(fold_lanes(lanes_)) ? SplitOutcome::Confirmed
                                                             : SplitOutcome::NotConfirmed;
    }

    char** fields_;
    int max_fields_;
    int count_ = 0;
    std::uint64_t lanes_ = 0;
};

}  // namespace

SplitOutcome split_sentence(char* text, const char* end, char** fields, int max_fields,
                            int& count) noexcept {
    Splitter splitter(fields, max_fields);
    const SplitOutcome outcome = splitter.run(text, end);
    count = splitter.count();
    return outcome;
}

}  // namespace tarnwick::nmea
