#pragma once
// The scoped writer of an exchange channel: it holds the channel's guard mutex for its whole
// life and appends behind what is already stored. When it goes away it signals its event (while
// still holding the mutex, so a woken reader waits until the writer has let go), counts one more
// write in the header's sequence and releases the mutex.

#include <cstdint>

#include "exchange/byte_stream.h"
#include "exchange/exchange_buffer.h"
#include "platform/win32.h"

namespace GPS {

class exchange_writer final : public ostream {
  public:
    // `event` may be null: then nobody is signalled.
    exchange_writer(exchange_buffer& channel, HANDLE event);
    // Waits for the guard at most timeout_ms, and not once `cancel` (may be null) is signalled.
    // A writer that got no guard stores nothing (locked() is false, every write fails) and
    // signals nobody.
    exchange_writer(exchange_buffer& channel, HANDLE event, HANDLE cancel, DWORD timeout_ms);
    ~exchange_writer() override;

    // Appends n bytes when they fit into the rest of the channel (an exact fit does); otherwise
    // stores nothing. Either way good() tells the outcome, and later writes are still tried.
    void write(const void* src, int n) override;

    // Whether the last write was stored.
    bool good() const noexcept { return good_; }
    // Whether the writer holds the guard.
    bool locked() const noexcept { return locked_; }

  private:
    exchange_buffer& channel_;
    std::int32_t cursor_ = 0;
    HANDLE event_;
    bool good_ = true;
    bool locked_;
};

}  // namespace GPS
