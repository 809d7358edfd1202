#include "exchange/memory_stream.h"

#include <cstring>

namespace GPS {

void memory_ostream::write(const void* src, int n) {
    if (!good_ || n < 0 || static_cast<std::size_t>(n) > capacity_ - length_) {
        good_ = false;
        return;
    }
    if (n > 0) {
        std::memcpy(buffer_ + length_, src, static_cast<std::size_t>(n));
        length_ += static_cast<std::size_t>(n);
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
