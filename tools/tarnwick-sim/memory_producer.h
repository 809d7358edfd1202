#pragma once
// A producer of NMEA text in named shared memory: the mapping "<name>_DataReady_map" (4096
// bytes), the guard mutex "<name>_DataGuard_mutex" and the auto-reset event
// "<name>_DataReady_event". Each block starts the mapping: uint32 size, int64 stamp (both
// little-endian, no padding), then size bytes of text.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/unique_handle.h"
#include "platform/win32.h"
#include "protocol/producer_block.h"

namespace tarnwick::sim {

class MemoryProducer {
  public:
    static constexpr std::size_t max_text = protocol::producer_block::max_text;
    // The longest base name whose object names fit the service's 64-character buffer.
    static constexpr std::size_t max_name_length = protocol::producer_block::max_base_name;

    // Creates the three objects. Throws std::runtime_error for a name that is empty or too
    // long, or an object that cannot be created.
    explicit MemoryProducer(const std::wstring& name);
    ~MemoryProducer();
    MemoryProducer(const MemoryProducer&) = delete;
    MemoryProducer& operator=(const MemoryProducer&) = delete;

    // Writes one block under the mutex (text beyond max_text is cut off), then sets the event.
    // False when the mutex could not be had within a few seconds: the block is not written.
    bool publish(std::string_view text, std::int64_t stamp);

  private:
    void release() noexcept;

    GPS::unique_handle mapping_;
    void* view_ = nullptr;
    GPS::unique_handle mutex_;
    GPS::unique_handle event_;
};

}  // namespace tarnwick::sim
