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

class Splitter {
  public:
    Splitter(char** fields, int max_fields) noexcept : fields_(fields), max_fields_(max_fields) {}

    SplitOutcome run(char* p, const char* end) noexcept {
#if defined(__SSE2__)
        // Sixteen characters at a time while sixteen remain before end: nothing at or past end
        // is ever read.
        while (end - p >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            auto commas =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(','))));
            const auto stars =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('*'))));
            if (stars != 0) {
                const int star = std::countr_zero(stars);
                absorb(p, star);  // before the commas become NULs
                if (!take_commas(p, commas & ((1u << star) - 1))) {
                    return SplitOutcome::TooManyFields;
                }
                return finish(p + star, end);
            }
            if (!take_commas(p, commas)) {
                return SplitOutcome::TooManyFields;
            }
            std::uint64_t halves[2];
            std::memcpy(halves, &block, sizeof halves);
            lanes_ ^= halves[0] ^ halves[1];
            p += 16;
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

    // Folds n characters (commas included, as they count) into the checksum.
    void absorb(const char* p, int n) noexcept {
        for (int i = 0; i < n; ++i) {
            lanes_ ^= static_cast<unsigned char>(p[i]);
        }
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
