#pragma once
// The watch ring: data-stream messages republished for every watcher of this library.
//
// Reading "data_stream" empties it, so two watchers reading it directly would steal each other's
// messages. Instead, whichever watcher finds nothing new drains "data_stream" and copies each
// message, numbered, into this ring in named shared memory; every watcher reads the ring from
// its own position without consuming anything. The ring keeps the last `slot_count` messages: a
// watcher that falls further behind learns how many it lost.
//
// Layout of the mapping "TARNWICK::WATCH::ring" (little-endian):
//   offset 0   u32 magic 0x32575754 ("TWW2"), u32 slot_count, u32 slot_size, u32 0,
//              u64 next_sequence (the number the next message gets), u32 published (one more
//              after every message appended: the futex word sleeping watchers wait on), zero up
//              to offset 64;
//   offset 64  slot_count slots of slot_size bytes: u64 sequence, u32 length (or 0xFFFFFFFF for
//              a message that was lost while draining), u32 flags, then the message bytes (id
//              first). Flags: bit 1 set by drainers that tell the framing, and then bit 0 set
//              when the drainer took RMC messages as carrying a tick, so that every reader reads
//              the slot as it was cut, whatever the reader last knew. Drainers of the library
//              before write 0 there: their slots are read with the reader's own knowledge.
// Message n lives in slot n % slot_count. Every access holds the mutex "TARNWICK::WATCH::lock",
// except the sleep on `published`.

#include <cstdint>
#include <span>

#include "platform/unique_handle.h"
#include "platform/win32.h"

namespace tarnwick::client {

class WatchRing {
  public:
    static constexpr std::uint32_t slot_count = 256;
    static constexpr std::uint32_t slot_size = 1024;
    static constexpr std::uint32_t header_size = 64;
    static constexpr std::uint32_t slot_header_size = 16;
    static constexpr std::uint32_t max_message_size = slot_size - slot_header_size;

    WatchRing() = default;
    ~WatchRing();
    WatchRing(const WatchRing&) = delete;
    WatchRing& operator=(const WatchRing&) = delete;

    // Creates or opens the ring of the namespace; false when it cannot, or when the mapping
    // someone else created has another shape.
    bool open();

    // Holds the ring's mutex (a holder that died leaves a consistent ring: the sequence only
    // advances after its slot is written).
    class Lock {
      public:
        explicit Lock(WatchRing& ring);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        bool held() const noexcept { return held_; }

      private:
        WatchRing& ring_;
        bool held_;
    };

    // With the lock held:
    std::uint64_t next_sequence() const noexcept;
    // Appends one message, framed with or without RMC ticks (`tstamp`); one longer than
    // max_message_size goes in as a lost one.
    void publish(std::span<const std::uint8_t> message, bool tstamp);
    // Appends a marker for a message that could not be taken from the stream.
    void publish_lost();
    // Finds the message at `position` and moves on: `message` shows it in its slot, valid until
    // the lock is released, and `tstamp` tells how it was framed (left as it is for a slot that
    // does not tell). Adds to `lost` the messages skipped: those the ring no longer holds and
    // lost markers. False when nothing is left to read.
    bool read(std::uint64_t& position, std::span<const std::uint8_t>& message, bool& tstamp,
              std::uint64_t& lost);

    // With the lock held: the count of messages appended so far, for wait_for_news.
    std::uint32_t published() const noexcept;

    // Without the lock: sleeps until `wake` is signalled (the result is WAIT_OBJECT_0) or a
    // message was appended since published() returned `seen` (WAIT_OBJECT_0 + 1), or `timeout_ms`
    // passes. Nothing appended in between can be missed.
    DWORD wait_for_news(HANDLE wake, std::uint32_t seen, DWORD timeout_ms) noexcept;

  private:
    std::uint8_t* slot(std::uint64_t sequence) const noexcept;
    void append(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t flags);

    GPS::unique_handle mapping_;
    std::uint8_t* view_ = nullptr;
    GPS::unique_handle mutex_;
};

}  // namespace tarnwick::client
