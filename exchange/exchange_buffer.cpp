#include "exchange/exchange_buffer.h"

#include <cstring>
#include <cwchar>
#include <limits>

#include "base/trace.h"
#include "exchange/exchange_header.h"

namespace GPS {
namespace {

// Kernel object names are formatted into 32 wide characters, terminator included.
constexpr int object_name_size = 32;

bool format_object_name(wchar_t (&out)[object_name_size], const wchar_t* prefix,
                        const wchar_t* name) {
    return std::swprintf(out, object_name_size, L"%ls%ls", prefix, name) > 0;
}

bool valid_name(const wchar_t* name) {
    return name != nullptr && std::wcslen(name) <= exchange_buffer::max_name_length;
}

// element_size * count as a capacity that can at least hold the header, or 0.
std::int32_t requested_capacity(int element_size, int count) {
    if (element_size <= 0 || count <= 0 ||
        element_size > std::numeric_limits<std::int32_t>::max() / count) {
        return 0;
    }
    const std::int32_t capacity = element_size * count;
    return capacity >= exchange_header::size ? capacity : 0;
}

}  // namespace

exchange_buffer::~exchange_buffer() {
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
    }
    mapping_.reset();
    guard_.reset();
}

bool exchange_buffer::open(const wchar_t* name, int element_size, int count) {
    if (!valid_name(name)) {
        trace(L"GPS::exchange_buffer::open(%s): name longer than %d characters",
              name != nullptr ? name : L"(null)", max_name_length);
        return false;
    }
    const std::int32_t capacity = requested_capacity(element_size, count);
    if (capacity == 0 || mapping_ || guard_) {
        trace(L"GPS::exchange_buffer::open(%s,%d,%d): refused", name, element_size, count);
        return false;
    }
    wchar_t memory_name[object_name_size];
    wchar_t guard_name[object_name_size];
    if (!format_object_name(memory_name, L"GPS::EXCHANGE::", name) ||
        !format_object_name(guard_name, L"GPS::EXCHANGEGAURD::", name)) {
        return false;
    }

    // The guard is taken before the shared memory is created, so that the creator has filled the
    // header before any other opener can look at it.
    guard_.reset(CreateMutexW(nullptr, FALSE, guard_name));
    if (!guard_) {
        return false;
    }
    const DWORD wait = WaitForSingleObject(guard_.get(), INFINITE);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        return false;
    }
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(capacity), memory_name));
    const bool created = mapping_ && GetLastError() != ERROR_ALREADY_EXISTS;
    const bool mapped = mapping_ && (created ? map_created(capacity) : map_existing());
    ReleaseMutex(guard_.get());
    return mapped;
}

bool exchange_buffer::map_created(std::int32_t capacity) noexcept {
    view_ = static_cast<std::byte*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (view_ == nullptr) {
        return false;
    }
    std::memset(view_, 0, static_cast<std::size_t>(capacity));
    exchange_header::store(view_, exchange_header::capacity_offset, capacity);
    capacity_ = capacity;
    return true;
}

// The creator's stored capacity is adopted only as far as the shared memory really reaches: the
// final view is mapped with exactly that many bytes, which fails when the memory is smaller.
bool exchange_buffer::map_existing() noexcept {
    auto* header = static_cast<std::byte*>(
        MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, exchange_header::size));
    if (header == nullptr) {
        return false;
    }
    const std::int32_t stored = exchange_header::load(header, exchange_header::capacity_offset);
    UnmapViewOfFile(header);
    if (stored < exchange_header::size) {
        trace(L"GPS::exchange_buffer::map_existing: stored capacity %d invalid", stored);
        return false;
    }
    view_ = static_cast<std::byte*>(
        MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(stored)));
    if (view_ == nullptr) {
        trace(L"GPS::exchange_buffer::map_existing: stored capacity %d exceeds the shared memory",
              stored);
        return false;
    }
    capacity_ = stored;
    return true;
}

bool exchange_buffer::lock() noexcept {
    return lock(nullptr, INFINITE);
}

bool exchange_buffer::lock(HANDLE cancel, DWORD timeout_ms) noexcept {
    if (capacity_ == 0) {
        return false;
    }
    const HANDLE waited[] = {guard_.get(), cancel};
    const DWORD wait = cancel != nullptr ? WaitForMultipleObjects(2, waited, FALSE, timeout_ms)
                                         : WaitForSingleObject(guard_.get(), timeout_ms);
    if (wait == WAIT_TIMEOUT || wait == WAIT_OBJECT_0 + 1) {
        return false;
    }
    if (wait == WAIT_ABANDONED) {
        trace(L"GPS::exchange_buffer::lock: guard left by a dead holder, taken over");
    } else if (wait != WAIT_OBJECT_0) {
        trace(L"GPS::exchange_buffer::lock: wait failed, error %d",
              static_cast<int>(GetLastError()));
        return false;
    }
    const std::int32_t stored = exchange_header::load(view_, exchange_header::length_offset);
    if (!payload_fits(stored)) {
        trace(L"GPS::exchange_buffer::lock: stored length %d outside the payload, emptied", stored);
        set_payload_length(0);
    }
    return true;
}

void exchange_buffer::unlock() noexcept {
    ReleaseMutex(guard_.get());
}

bool exchange_buffer::payload_fits(std::int32_t length) const noexcept {
    return length >= 0 && length <= capacity_ - exchange_header::size;
}

std::int32_t exchange_buffer::payload_length() const noexcept {
    const std::int32_t stored = exchange_header::load(view_, exchange_header::length_offset);
    return payload_fits(stored) ? stored : 0;
}

void exchange_buffer::set_payload_length(std::int32_t length) noexcept {
    exchange_header::store(view_, exchange_header::length_offset, length);
}

void exchange_buffer::count_write() noexcept {
    exchange_header::field(view_, exchange_header::sequence_offset)
        .fetch_add(1, std::memory_order_relaxed);
}

}  // namespace GPS
