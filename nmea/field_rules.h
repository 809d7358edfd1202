#pragma once
// How one text field becomes one record member. An empty field leaves the member at its
// initial value; since the parser clears a record before decoding, nothing of an earlier
// sentence survives in it.

#include <type_traits>

#include "nmea/field_conversion.h"

namespace tarnwick::nmea {

// Integer members of any width take the low bits of the atoi value.
template <typename Int>
inline void take_integer(const char* field, Int& member) noexcept {
    static_assert(std::is_integral_v<Int>);
    if (field[0] != '\0') {
        member = static_cast<Int>(to_int(field));
    }
}

inline void take_real(const char* field, float& member) noexcept {
    if (field[0] != '\0') {
        member = to_float(field);
    }
}

inline void take_char(const char* field, char& member) noexcept {
    if (is_single_char(field)) {
        member = field[0];
    }
}

}  // namespace tarnwick::nmea
