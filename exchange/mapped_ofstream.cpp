#include "exchange/mapped_ofstream.h"

#include <algorithm>
#include <cstring>

#include "base/trace.h"
#include "platform/scoped_critical_section.h"

namespace GPS {
namespace {

// File offsets of mapped views must be multiples of this.
DWORD allocation_granularity() {
    static const DWORD granularity = [] {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return std::max<DWORD>(info.dwAllocationGranularity, 1);
    }();
    return granularity;
}

DWORD high_part(std::uint64_t value) {
    return static_cast<DWORD>(value >> 32);
}
DWORD low_part(std::uint64_t value) {
    return static_cast<DWORD>(value);
}

// The file's size, or nothing when it cannot be taken.
std::optional<std::uint64_t> file_size(HANDLE file) {
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

// Appends `bytes` to an open file by extending it and copying into a view of its tail, which
// starts at the last granularity boundary at or before the old end.
bool append_mapped(HANDLE file, std::uint64_t old_size, const std::byte* bytes, std::size_t count) {
    const std::uint64_t new_size = old_size + count;
    const unique_handle mapping(CreateFileMappingW(
        file, nullptr, PAGE_READWRITE, high_part(new_size), low_part(new_size), nullptr));
    if (!mapping) {
        return false;
    }
    const std::uint64_t slack = old_size % allocation_granularity();
    const std::uint64_t view_offset = old_size - slack;
    auto* view =
        static_cast<std::byte*>(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, high_part(view_offset),
                                              low_part(view_offset), slack + count));
    if (view == nullptr) {
        return false;
    }
    std::memcpy(view + slack, bytes, count);
    return UnmapViewOfFile(view) == TRUE;  // where the bytes reach the file
}

}  // namespace

ofstream::ofstream() {
    InitializeCriticalSection(&stream_lock_);
}

ofstream::ofstream(const wchar_t* path, std::int32_t capacity) : ofstream() {
    open(path, capacity);
}

ofstream::~ofstream() {
    close();
    DeleteCriticalSection(&stream_lock_);
}

bool ofstream::open(const wchar_t* path, std::int32_t capacity) {
    scoped_critical_section lock(stream_lock_);
    if (position_ != nullptr || capacity <= 0) {
        return false;
    }
    create_file_on_flush_ = true;
    path_.reset();
    if (path != nullptr) {
        path_.emplace(path);
    }
    capacity_ = capacity;
    buffer_mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             static_cast<DWORD>(capacity), nullptr));
    if (!buffer_mapping_) {
        return false;
    }
    base_ = static_cast<std::byte*>(MapViewOfFile(buffer_mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (base_ == nullptr) {
        buffer_mapping_.reset();
        return false;
    }
    position_ = base_;
    return true;
}

void ofstream::write(const void* src, int n) {
    scoped_critical_section lock(stream_lock_);
    if (position_ == nullptr) {
        return;
    }
    if (n < 0 || n > capacity_) {
        trace(L"GPS::ofstream::write(%p,%d): larger than the buffer of %d bytes, refused", src, n,
              capacity_);
        return;
    }
    if (base_ + capacity_ - position_ >= n || write_waiting_to_file()) {
        if (n > 0) {
            std::memcpy(position_, src, static_cast<std::size_t>(n));
            position_ += n;
        }
    } else {
        close_locked();
    }
}

bool ofstream::close() {
    scoped_critical_section lock(stream_lock_);
    return close_locked();
}

bool ofstream::close_locked() {
    bool result = write_waiting_to_file();
    position_ = nullptr;
    path_.reset();
    if (base_ != nullptr) {
        result = UnmapViewOfFile(base_) == TRUE && result;
        base_ = nullptr;
    }
    buffer_mapping_.reset();
    return result;
}

bool ofstream::write_waiting_to_file() {
    if (!path_ || base_ == nullptr || position_ == base_) {
        return true;
    }
    const unique_handle file(CreateFileForMappingW(
        path_->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        create_file_on_flush_ ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    std::optional<std::uint64_t> old_size = 0;
    if (create_file_on_flush_) {
        create_file_on_flush_ = false;
    } else {
        old_size = file_size(file.get());
    }
    const bool written = old_size && append_mapped(file.get(), *old_size, base_,
                                                   static_cast<std::size_t>(position_ - base_));
    if (written) {
        position_ = base_;
    }
    return written;
}

}  // namespace GPS
