#pragma once
// GPS::ifstream: reads a whole existing file sequentially through one read-only mapped view.
// Used for replaying recorded NMEA and for loading the stored fix. Every operation holds the
// stream's own lock, so one stream may be shared by several threads.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "exchange/byte_stream.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"

namespace GPS {

class ifstream final : public istream {
  public:
    // Thrown by read when fewer bytes remain than were asked for.
    struct out_of_range {};

    ifstream();
    ~ifstream() override;

    // Maps the whole file. False when the stream is already open or the file cannot be mapped
    // (an empty file cannot). Files of 4 GiB or more are refused.
    bool open(const wchar_t* path);

    // Copies the next n bytes and advances. Throws out_of_range, and marks the stream failed,
    // when fewer than n bytes remain or the stream is closed; the position is then unchanged.
    void read(void* dst, int n) override;

    // True when the stream is closed or everything has been read.
    bool eof();
    // Back to the first byte; nothing happens on a closed stream.
    void rewind();
    // Releases everything; true unless unmapping the view failed. Safe on a closed stream.
    bool close();

  private:
    std::optional<std::wstring> path_;
    unique_handle mapping_;
    std::uint32_t size_ = 0;
    const std::byte* base_ = nullptr;
    const std::byte* position_ = nullptr;
    CRITICAL_SECTION stream_lock_;
};

}  // namespace GPS
