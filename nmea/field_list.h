#pragma once
// Records list their fields once, in wire order, in a static template
//     template <class Self, class Visit> static void each_field(Self& self, Visit&& visit);
// that hands every member to `visit`: a number, an array of numbers, a block with a list of its
// own, or a zero_filler. Writing and reading both walk that one list, so the two can never drift
// apart, and the writer is a template on the stream so a memory stream gets inline writes.

#include <cstdint>
#include <type_traits>

#include "nmea/field_io.h"

namespace tarnwick::nmea {

// A byte on the wire that carries nothing: written as 0, skipped when read.
struct zero_filler {};

template <typename Out>
class field_writer {
  public:
    explicit field_writer(Out& out) noexcept : out_(out) {}

    template <typename T>
    void operator()(const T& member) const {
        if constexpr (std::is_arithmetic_v<T>) {
            write_field(out_, member);
        } else if constexpr (std::is_array_v<T>) {
            for (const auto& element : member) {
                (*this)(element);
            }
        } else {
            T::each_field(member, *this);
        }
    }
    void operator()(zero_filler) const { write_field(out_, std::uint8_t{0}); }

  private:
    Out& out_;
};

class field_reader {
  public:
    explicit field_reader(GPS::istream& in) noexcept : in_(in) {}

    template <typename T>
    void operator()(T& member) const {
        if constexpr (std::is_arithmetic_v<T>) {
            read_field(in_, member);
        } else if constexpr (std::is_array_v<T>) {
            for (auto& element : member) {
                (*this)(element);
            }
        } else {
            T::each_field(member, *this);
        }
    }
    void operator()(zero_filler) const {
        std::uint8_t ignored = 0;
        read_field(in_, ignored);
    }

  private:
    GPS::istream& in_;
};

template <typename T, typename Out>
void write_fields(Out& out, const T& value) {
    field_writer<Out>{out}(value);
}

template <typename T>
void read_fields(GPS::istream& in, T& value) {
    field_reader{in}(value);
}

}  // namespace tarnwick::nmea
