#include "exchange/memory_stream.h"

#include <cstring>

namespace GPS {

void memory_ostream::write(const void* src, int n) {
    // A negative n becomes a huge size and fails the one comparison.
    const auto size = static_cast<std::size_t>(n);
    if (size > limit_ - length_) {
        // Nothing more goes in after a lost write, so what is stored never has a gap.
        good_ = false;
        limit_ = length_;
        return;
    }
    unsigned char* dst = buffer_ + length_;
    length_ += size;
    // Records write one field at a time, 4, 1 or 2 bytes: fixed-size copies compile to
    // single moves instead of a library call.
    if (size == 4) {
        std::memcpy(dst, src, 4);
    } else if (size == 1) {
        std::memcpy(dst, src, 1);
    } else if (size == 2) {
        std::memcpy(dst, src, 2);
    } else if (size != 0) {
        std::memcpy(dst, src, size);
    }
}

void memory_istream::read(void* dst, int n) {
    if (failed() || n < 0 || static_cast<std::size_t>(n) > size_ - position_) {
        set_failed();
        return;
    }
    if (n > 0) {
        std::memcpy(dst, data_ + position_, static_cast<std::size_t>(n));
        position_ += static_cast<std::size_t>(n);
    }
}

}  // namespace GPS
