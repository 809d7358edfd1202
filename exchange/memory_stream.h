#pragma once
// Byte streams over plain memory, for code that needs the record and string formats without a
// channel or a file: tests, benchmarks, fuzzers and offline tools.

#include <cstddef>
#include <cstring>

#include "exchange/byte_stream.h"

namespace GPS {

// Appends into a caller's fixed buffer. Like the channel writer, a write that does not fit stores
// nothing and leaves the stream not good; nothing is ever written past the buffer.
class memory_ostream final : public ostream {
  public:
    memory_ostream(void* buffer, std::size_t capacity) noexcept
        : buffer_(static_cast<unsigned char*>(buffer)), capacity_(capacity), limit_(capacity) {}

    // Inline: records write one field at a time through this final class, and a call with a
    // constant size then compiles to a bounds check and a single move.
    void write(const void* src, int n) override {
        // A negative n becomes a huge size and fails the one comparison.
        const auto size = static_cast<std::size_t>(n);
        if (size > limit_ - length_) {
            // Nothing more goes in after a lost write, so what is stored never has a gap.
            good_ = false;
            limit_ = length_;
            return;
        }
        if (size != 0) {
            std::memcpy(buffer_ + length_, src, size);
        }
        length_ += size;
    }

    bool good() const noexcept { return good_; }
    std::size_t length() const noexcept { return length_; }
    const unsigned char* data() const noexcept { return buffer_; }
    // Starts over at the beginning of the buffer, good again.
    void reset() noexcept {
        length_ = 0;
        limit_ = capacity_;
        good_ = true;
    }

  private:
    unsigned char* buffer_;
    std::size_t capacity_;
    std::size_t limit_;  // capacity_, or length_ once a write was lost
    std::size_t length_ = 0;
    bool good_ = true;
};

// Reads from bytes the caller keeps alive. A read that cannot be delivered in full copies
// nothing and marks the stream failed.
class memory_istream final : public istream {
  public:
    memory_istream(const void* data, std::size_t size) noexcept
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}

    void read(void* dst, int n) override;

    std::size_t position() const noexcept { return position_; }
    std::size_t remaining() const noexcept { return size_ - position_; }

  private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace GPS
