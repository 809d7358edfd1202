#pragma once
// One exchange channel as seen by one process: a named block of shared memory holding a run of
// bytes behind a 12-byte header, and the named guard mutex that lets one reader or writer at a
// time, across all processes, touch it.

#include <cstddef>
#include <cstdint>

#include "platform/unique_handle.h"
#include "platform/win32.h"

namespace GPS {

class exchange_reader;
class exchange_writer;

class exchange_buffer {
  public:
    // The longest channel name that fits the kernel object names.
    static constexpr int max_name_length = 11;

    exchange_buffer() = default;
    virtual ~exchange_buffer();
    exchange_buffer(const exchange_buffer&) = delete;
    exchange_buffer& operator=(const exchange_buffer&) = delete;

    // Creates channel `name` with capacity element_size * count (header included), or opens it
    // when another process created it first, adopting the creator's capacity. False when the name
    // is too long, the capacity cannot hold the header, the channel's stored capacity does not
    // fit its shared memory, or a kernel object cannot be created. A failed open keeps what it
    // obtained for the destructor; the channel then refuses every read and write. An object
    // opens once: a second call fails.
    bool open(const wchar_t* name, int element_size, int count);

    // Total size in bytes, header included; 0 until open succeeds.
    std::int32_t capacity() const noexcept { return capacity_; }

  private:
    friend class exchange_reader;
    friend class exchange_writer;

    // Takes the guard mutex (also from a holder that died) and repairs a stored length that
    // another process left outside the payload. False when the channel is not open or the wait
    // failed; the caller then holds nothing.
    bool lock() noexcept;
    // The same, giving up when `cancel` (may be null) is signalled first or after timeout_ms.
    bool lock(HANDLE cancel, DWORD timeout_ms) noexcept;
    void unlock() noexcept;

    // The stored payload length, or 0 when it lies outside 0 .. capacity - 12.
    std::int32_t payload_length() const noexcept;
    bool payload_fits(std::int32_t length) const noexcept;
    void set_payload_length(std::int32_t length) noexcept;
    void count_write() noexcept;
    std::byte* at(std::int32_t offset) const noexcept { return view_ + offset; }

    bool map_created(std::int32_t capacity) noexcept;
    bool map_existing() noexcept;

    unique_handle mapping_;
    std::byte* view_ = nullptr;
    std::int32_t capacity_ = 0;
    unique_handle guard_;
};

}  // namespace GPS
