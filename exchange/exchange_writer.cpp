#include "exchange/exchange_writer.h"

#include <cstring>

#include "exchange/exchange_header.h"

namespace GPS {

exchange_writer::exchange_writer(exchange_buffer& channel, HANDLE event)
    : channel_(channel), event_(event), locked_(channel.lock()) {
    if (locked_) {
        cursor_ = exchange_header::size + channel_.payload_length();
    }
}

exchange_writer::exchange_writer(exchange_buffer& channel, HANDLE event, HANDLE cancel,
                                 DWORD timeout_ms)
    : channel_(channel), event_(event), locked_(channel.lock(cancel, timeout_ms)) {
    if (locked_) {
        cursor_ = exchange_header::size + channel_.payload_length();
    }
}

exchange_writer::~exchange_writer() {
    if (!locked_) {
        return;
    }
    if (event_ != nullptr) {
        EventModify(event_, EVENT_SET);
    }
    channel_.count_write();
    channel_.unlock();
}

void exchange_writer::write(const void* src, int n) {
    if (!locked_ || n < 0 || cursor_ >= channel_.capacity() || n > channel_.capacity() - cursor_) {
        good_ = false;
        return;
    }
    // An empty write may come without a buffer (an empty string's bytes).
    if (n > 0) {
        std::memcpy(channel_.at(cursor_), src, static_cast<std::size_t>(n));
    }
    cursor_ += n;
    // The length follows the cursor rather than being added to, so that a header another process
    // scribbled on while we held the mutex is put right again.
    channel_.set_payload_length(cursor_ - exchange_header::size);
    good_ = true;
}

}  // namespace GPS
