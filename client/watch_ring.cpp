#include "client/watch_ring.h"

#include <cstring>

#include "platform/counter_wait.h"
#include "protocol/object_names.h"

namespace tarnwick::client {
namespace {

// "TWW2": the second layout, whose watchers sleep on `published` (the first pulsed an event).
constexpr std::uint32_t ring_magic = 0x32575754;
constexpr std::uint32_t lost_marker = 0xFFFFFFFF;
constexpr std::size_t ring_bytes =
    WatchRing::header_size + std::size_t{WatchRing::slot_count} * WatchRing::slot_size;

// Offsets within the header and within a slot.
constexpr std::size_t magic_at = 0;
constexpr std::size_t slot_count_at = 4;
constexpr std::size_t slot_size_at = 8;
constexpr std::size_t next_sequence_at = 16;
constexpr std::size_t published_at = 24;
constexpr std::size_t slot_sequence_at = 0;
constexpr std::size_t slot_length_at = 8;
constexpr std::size_t slot_flags_at = 12;
constexpr std::uint32_t flag_tstamp = 1;
constexpr std::uint32_t flag_framing_told = 2;

template <typename T>
T load(const std::uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T>
void store(std::uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

}  // namespace

WatchRing::~WatchRing() {
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
    }
}

bool WatchRing::open() {
    mutex_.reset(CreateMutexW(nullptr, FALSE, protocol::names::watch_ring_mutex));
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(ring_bytes),
                                      protocol::names::watch_ring_mapping));
    if (!mutex_ || !mapping_) {
        return false;
    }
    view_ = static_cast<std::uint8_t*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (view_ == nullptr) {
        return false;
    }
    Lock lock(*this);
    if (!lock.held()) {
        return false;
    }
    // The creator's mapping is zero-filled: the first watcher to look writes the header.
    if (load<std::uint32_t>(view_ + magic_at) == 0) {
        store(view_ + slot_count_at, slot_count);
        store(view_ + slot_size_at, slot_size);
        store(view_ + magic_at, ring_magic);
    }
    return load<std::uint32_t>(view_ + magic_at) == ring_magic &&
           load<std::uint32_t>(view_ + slot_count_at) == slot_count &&
           load<std::uint32_t>(view_ + slot_size_at) == slot_size;
}

WatchRing::Lock::Lock(WatchRing& ring) : ring_(ring) {
    const DWORD waited = WaitForSingleObject(ring.mutex_.get(), INFINITE);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

WatchRing::Lock::~Lock() {
    if (held_) {
        ReleaseMutex(ring_.mutex_.get());
    }
}

std::uint64_t WatchRing::next_sequence() const noexcept {
    return load<std::uint64_t>(view_ + next_sequence_at);
}

std::uint32_t WatchRing::published() const noexcept {
    return platform::counter_value(platform::shared_counter_at(view_ + published_at));
}

DWORD WatchRing::wait_for_news(HANDLE wake, std::uint32_t seen, DWORD timeout_ms) noexcept {
    return platform::wait_for_objects_or_counter(
        1, &wake, platform::shared_counter_at(view_ + published_at), seen, timeout_ms);
}

std::uint8_t* WatchRing::slot(std::uint64_t sequence) const noexcept {
    return view_ + header_size + (sequence % slot_count) * slot_size;
}

void WatchRing::append(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t flags) {
    const std::uint64_t sequence = next_sequence();
    std::uint8_t* at = slot(sequence);
    store(at + slot_sequence_at, sequence);
    store(at + slot_length_at, length);
    store(at + slot_flags_at, flags);
    if (length != lost_marker) {
        std::memcpy(at + slot_header_size, bytes, length);
    }
    store(view_ + next_sequence_at, sequence + 1);
    platform::advance_counter(platform::shared_counter_at(view_ + published_at));
}

void WatchRing::publish(std::span<const std::uint8_t> message, bool tstamp) {
    if (message.size() > max_message_size) {
        publish_lost();
        return;
    }
    append(message.data(), static_cast<std::uint32_t>(message.size()),
           flag_framing_told | (tstamp ? flag_tstamp : 0));
}

void WatchRing::publish_lost() {
    append(nullptr, lost_marker, 0);
}

bool WatchRing::read(std::uint64_t& position, std::span<const std::uint8_t>& message, bool& tstamp,
                     std::uint64_t& lost) {
    const std::uint64_t next = next_sequence();
    const std::uint64_t oldest = next > slot_count ? next - slot_count : 0;
    if (position < oldest) {
        lost += oldest - position;
        position = oldest;
    }
    while (position < next) {
        const std::uint8_t* at = slot(position);
        const auto length = load<std::uint32_t>(at + slot_length_at);
        const bool intact =
            load<std::uint64_t>(at + slot_sequence_at) == position && length <= max_message_size;
        ++position;
        if (intact) {
            message = {at + slot_header_size, length};
            if (const auto flags = load<std::uint32_t>(at + slot_flags_at);
                (flags & flag_framing_told) != 0) {
                tstamp = (flags & flag_tstamp) != 0;
            }
            return true;
        }
        ++lost;
    }
    return false;
}

}  // namespace tarnwick::client
