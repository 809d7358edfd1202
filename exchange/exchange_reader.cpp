#include "exchange/exchange_reader.h"

#include <cstring>

#include "exchange/exchange_header.h"

namespace GPS {

exchange_reader::exchange_reader(exchange_buffer& channel)
    : channel_(channel), cursor_(exchange_header::size), locked_(channel.lock()) {}

exchange_reader::~exchange_reader() {
    if (locked_) {
        channel_.set_payload_length(0);
        channel_.unlock();
    }
}

void exchange_reader::read(void* dst, int n) {
    if (!locked_ || n < 0 || cursor_ >= channel_.capacity() || n > channel_.capacity() - cursor_) {
        set_failed();
        return;
    }
    if (n > 0) {
        std::memcpy(dst, channel_.at(cursor_), static_cast<std::size_t>(n));
    }
    cursor_ += n;
}

bool exchange_reader::at_end() const noexcept {
    if (!locked_) {
        return true;
    }
    const auto consumed = static_cast<std::uint32_t>(cursor_ - exchange_header::size);
    return consumed >= static_cast<std::uint32_t>(channel_.payload_length());
}

}  // namespace GPS
