#pragma once
// GPS::ofstream: collects written bytes in a memory buffer and appends them to a file in one
// mapped copy whenever the buffer is full or the stream closes. The first file write after open
// creates or truncates the file, later ones append; each maps only the file's tail. Used for
// recording NMEA and for storing the last valid fix. Every operation holds the stream's own
// lock, so one stream may be shared by several threads.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "exchange/byte_stream.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"

namespace GPS {

class ofstream final : public ostream {
  public:
    static constexpr std::int32_t default_capacity = 32768;

    // A closed stream.
    ofstream();
    // A stream opened on path (see open).
    ofstream(const wchar_t* path, std::int32_t capacity);
    // Writes what is waiting, as close does.
    ~ofstream() override;

    // Creates the buffer of `capacity` bytes; does not touch the file. False when the stream is
    // already open, the capacity is not positive or the buffer cannot be created.
    bool open(const wchar_t* path, std::int32_t capacity = default_capacity);

    // Appends n bytes to the buffer, first writing the buffer to the file when there is no room.
    // If that file write fails the stream closes itself: the waiting bytes and these are lost and
    // later writes do nothing. A write larger than the whole buffer is refused. Does nothing on a
    // closed stream.
    void write(const void* src, int n) override;

    // Writes what is waiting and releases the buffer; true only if both succeeded.
    bool close();

  private:
    bool write_waiting_to_file();
    bool close_locked();

    std::optional<std::wstring> path_;
    unique_handle buffer_mapping_;
    std::int32_t capacity_ = default_capacity;
    std::byte* base_ = nullptr;
    std::byte* position_ = nullptr;
    bool create_file_on_flush_ = true;
    CRITICAL_SECTION stream_lock_;
};

}  // namespace GPS
