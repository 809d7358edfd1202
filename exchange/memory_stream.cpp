#include "exchange/memory_stream.h"

#include <cstring>

namespace GPS {

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
