#include "exchange/mapped_ifstream.h"

#include <cstring>

#include "platform/scoped_critical_section.h"

namespace GPS {

ifstream::ifstream() {
    InitializeCriticalSection(&stream_lock_);
}

ifstream::~ifstream() {
    close();
    DeleteCriticalSection(&stream_lock_);
}

bool ifstream::open(const wchar_t* path) {
    scoped_critical_section lock(stream_lock_);
    if (position_ != nullptr) {
        return false;
    }
    path_.reset();
    if (path != nullptr) {
        path_.emplace(path);
    }
    // The mapping keeps the file open.
    const unique_handle file(CreateFileForMappingW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                   OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS,
                                                   nullptr));
    if (!file) {
        return false;
    }
    DWORD size_high = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetFileSize(file.get(), &size_high);
    if (size_high != 0 || (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)) {
        return false;
    }
    mapping_.reset(
        CreateFileMappingW(file.get(), nullptr, PAGE_READONLY | SEC_COMMIT, 0, 0, nullptr));
    if (!mapping_) {
        return false;
    }
    const void* view = MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, size);
    if (view == nullptr) {
        mapping_.reset();
        return false;
    }
    size_ = size;
    base_ = position_ = static_cast<const std::byte*>(view);
    return true;
}

void ifstream::read(void* dst, int n) {
    scoped_critical_section lock(stream_lock_);
    if (position_ == nullptr || n < 0 ||
        static_cast<std::size_t>(n) > static_cast<std::size_t>(base_ + size_ - position_)) {
        set_failed();
        throw out_of_range{};
    }
    if (n > 0) {
        std::memcpy(dst, position_, static_cast<std::size_t>(n));
        position_ += n;
    }
}

bool ifstream::eof() {
    scoped_critical_section lock(stream_lock_);
    return position_ == nullptr || position_ == base_ + size_;
}

void ifstream::rewind() {
    scoped_critical_section lock(stream_lock_);
    position_ = base_;
}

bool ifstream::close() {
    scoped_critical_section lock(stream_lock_);
    bool unmapped = true;
    path_.reset();
    position_ = nullptr;
    size_ = 0;
    if (base_ != nullptr) {
        unmapped = UnmapViewOfFile(base_) == TRUE;
        base_ = nullptr;
    }
    mapping_.reset();
    return unmapped;
}

}  // namespace GPS
