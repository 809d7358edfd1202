#pragma once
// Records list their fields once, in wire order, in a static template
//     template <class Self, class Visit> static void each_field(Self& self, Visit&& visit);
// that hands every member to `visit`: a number, an array of numbers, a block with a list of its
// own, or a zero_filler. A block whose members lie in memory exactly as on the wire (in order, no
// padding) may say so with `static constexpr bool memory_is_wire_layout = true;`, checked where
// it is declared; arrays of it are then written as their bytes. Writing and reading both walk that
// one list, so the two can never drift apart, and the writer is a template on the stream so a
// memory stream gets inline writes.

#include <bit>
#include <cstdint>
#include <type_traits>

#include "exchange/memory_stream.h"
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
            if constexpr (whole_array_write<T>()) {
                out_.write(member, static_cast<int>(sizeof member));
            } else {
                for (const auto& element : member) {
                    (*this)(element);
                }
            }
        } else {
            T::each_field(member, *this);
        }
    }
    void operator()(zero_filler) const { write_field(out_, std::uint8_t{0}); }

  private:
    // An array of numbers, or of blocks that declare their memory to be their wire bytes, goes
    // out in one write on a little-endian host where a write that does not fit loses the whole
    // message anyway (a memory stream).
    template <typename Element>
    static constexpr bool declares_wire_layout() {
        if constexpr (requires { Element::memory_is_wire_layout; }) {
            return Element::memory_is_wire_layout;
        }
        return false;
    }
    template <typename T>
    static constexpr bool whole_array_write() {
        using Element = std::remove_all_extents_t<T>;
        if constexpr (!std::is_same_v<Out, GPS::memory_ostream> ||
                      std::endian::native != std::endian::little) {
            return false;
        } else if constexpr (std::is_arithmetic_v<Element>) {
            return sizeof(Element) <= 4;
        } else {
            return declares_wire_layout<Element>();
        }
    }

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
