#pragma once
// The scoped reader of an exchange channel: it holds the channel's guard mutex for its whole
// life, reads the stored run from its start, and empties the channel when it goes away, whether
// or not everything was read.

#include <cstdint>

#include "exchange/byte_stream.h"
#include "exchange/exchange_buffer.h"

namespace GPS {

class exchange_reader final : public istream {
  public:
    explicit exchange_reader(exchange_buffer& channel);
    ~exchange_reader() override;

    // Copies n bytes from the cursor. The bound is the channel's capacity, not the stored
    // length: bytes left over from earlier contents are delivered as they are. A read that does
    // not fit copies nothing, leaves dst untouched and marks the stream failed.
    void read(void* dst, int n) override;

    // True once the cursor has passed the stored payload (at once on an empty channel).
    bool at_end() const noexcept;

  private:
    exchange_buffer& channel_;
    std::int32_t cursor_;
    bool locked_;
};

}  // namespace GPS
