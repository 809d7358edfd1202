// CreateFileMappingW, OpenFileMappingW, MapViewOfFile and UnmapViewOfFile.

#include "platform/mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <optional>

#include "platform/file_bytes.h"
#include "platform/file_object.h"
#include "platform/last_error.h"
#include "platform/named_object_cache.h"

namespace tarnwick::platform {

Mapping::Mapping(int fd, std::uint64_t size, bool writable, Backing backing)
    : fd_(fd), size_(size), writable_(writable), backing_(backing) {}

Mapping::Mapping(std::unique_ptr<NamedObjectFile> file, bool writable)
    : file_(std::move(file)), fd_(file_->fd()), size_(file_->size()), writable_(writable) {}

Mapping::~Mapping() {
    if (!file_) {
        close(fd_);
    }
}

namespace {

constexpr std::uint64_t kAllocationGranularity = 65536;

// Every live view, by its base address; a view keeps its mapping alive, as on Windows.
struct View {
    std::shared_ptr<Mapping> mapping;
    std::size_t length;
    std::uint64_t offset = 0;
    bool writes_back = false;  // a staged view whose bytes go to the file when it is unmapped
};

std::mutex& views_mutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::map<std::uintptr_t, View>& views() {
    static auto* all = new std::map<std::uintptr_t, View>;
    return *all;
}

std::uint64_t combine(DWORD high, DWORD low) {
    return (std::uint64_t{high} << 32) | low;
}

std::optional<bool> writable_for_protection(DWORD protect) {
    switch (protect & 0xFF) {
        case PAGE_READONLY:
            return false;
        case PAGE_READWRITE:
            return true;
        default:
            return std::nullopt;
    }
}

HANDLE insert_mapping(std::shared_ptr<Object> mapping, bool existed) {
    HANDLE handle = insert_handle(std::move(mapping));
    if (handle != nullptr) {
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    }
    return handle;
}

HANDLE named_memory(LPCWSTR name, NamedObjectFile::Disposition disposition, std::uint64_t size,
                    bool writable) {
    auto found =
        find_or_make_named(name, ".map", disposition, size, false,
                           [&](std::unique_ptr<NamedObjectFile> file) -> std::shared_ptr<Object> {
                               return std::make_shared<Mapping>(std::move(file), writable);
                           });
    if (!found.object) {
        return nullptr;
    }
    return insert_mapping(std::move(found.object), found.existed);
}

HANDLE anonymous_memory(std::uint64_t size, bool writable) {
    const int fd = create_memory_file("tarnwick-mapping", size);
    if (fd < 0) {
        return fail_errno(HANDLE{nullptr});
    }
    return insert_mapping(std::make_shared<Mapping>(fd, size, writable), false);
}

// A read-only mapping of a file holds a copy of the file's first `size` bytes, taken now: a
// replay file that its owner shortens must not bring its reader down.
HANDLE file_copy(int file_fd, std::uint64_t size) {
    const int fd = copy_to_memory_file(file_fd, size);
    if (fd < 0) {
        return fail_errno(HANDLE{nullptr});
    }
    return insert_mapping(std::make_shared<Mapping>(fd, size, false), false);
}

HANDLE file_mapping(HANDLE file_handle, std::uint64_t size, bool writable) {
    auto file = lookup_as<File>(file_handle);
    if (!file) {
        return nullptr;
    }
    if (writable && !file->writable()) {
        return fail(ERROR_ACCESS_DENIED, HANDLE{nullptr});
    }
    struct stat status {};
    if (fstat(file->fd(), &status) != 0) {
        return fail_errno(HANDLE{nullptr});
    }
    auto file_size = static_cast<std::uint64_t>(status.st_size);
    if (size == 0) {
        if (file_size == 0) {
            return fail(ERROR_FILE_INVALID, HANDLE{nullptr});
        }
        size = file_size;
    } else if (size > file_size) {
        if (!writable) {
            return fail(ERROR_ACCESS_DENIED, HANDLE{nullptr});
        }
        if (!extend_file(file->fd(), file_size, size)) {
            return fail_errno(HANDLE{nullptr});
        }
    }
    if (!writable) {
        return file_copy(file->fd(), size);
    }
    int fd = fcntl(file->fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return fail_errno(HANDLE{nullptr});
    }
    return insert_mapping(std::make_shared<Mapping>(fd, size, writable, Mapping::Backing::file),
                          false);
}

}  // namespace
}  // namespace tarnwick::platform

using namespace tarnwick::platform;

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect,
                          DWORD maximum_size_high, DWORD maximum_size_low, LPCWSTR name) {
    auto writable = writable_for_protection(protect);
    if (!writable) {
        return fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    }
    std::uint64_t size = combine(maximum_size_high, maximum_size_low);
    bool named = name != nullptr && *name != L'\0';
    if (file != INVALID_HANDLE_VALUE) {
        if (named) {
            return fail(ERROR_NOT_SUPPORTED, HANDLE{nullptr});
        }
        return file_mapping(file, size, *writable);
    }
    if (size == 0) {
        return fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    }
    if (named) {
        return named_memory(name, NamedObjectFile::Disposition::create_or_open, size, *writable);
    }
    return anonymous_memory(size, *writable);
}

HANDLE OpenFileMappingW(DWORD desired_access, BOOL, LPCWSTR name) {
    if (name == nullptr || *name == L'\0') {
        return fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    }
    bool writable = (desired_access & FILE_MAP_WRITE) != 0;
    return named_memory(name, NamedObjectFile::Disposition::open_existing, 0, writable);
}

LPVOID MapViewOfFile(HANDLE mapping_handle, DWORD desired_access, DWORD offset_high,
                     DWORD offset_low, SIZE_T bytes) {
    auto mapping = lookup_as<Mapping>(mapping_handle);
    if (!mapping) {
        return nullptr;
    }
    std::uint64_t offset = combine(offset_high, offset_low);
    if (offset % kAllocationGranularity != 0) {
        return fail(ERROR_MAPPED_ALIGNMENT, LPVOID{nullptr});
    }
    if (offset >= mapping->size() || bytes > mapping->size() - offset) {
        return fail(ERROR_INVALID_PARAMETER, LPVOID{nullptr});
    }
    std::size_t length = bytes != 0 ? bytes : static_cast<std::size_t>(mapping->size() - offset);
    bool copy_on_write = (desired_access & FILE_MAP_COPY) != 0 &&
                         (desired_access & FILE_MAP_ALL_ACCESS) == FILE_MAP_COPY;
    bool wants_write = (desired_access & FILE_MAP_WRITE) != 0 || copy_on_write;
    if (wants_write && !copy_on_write && !mapping->writable()) {
        return fail(ERROR_ACCESS_DENIED, LPVOID{nullptr});
    }
    void* base = nullptr;
    if (mapping->over_file()) {
        // Staged: filled from the file now and, when writable, written back when unmapped.
        base = map_staged_copy(mapping->fd(), offset, length);
        if (base == nullptr) {
            return fail_errno(LPVOID{nullptr});
        }
        if (!wants_write) {
            mprotect(base, length, PROT_READ);
        }
    } else {
        int protection = PROT_READ | (wants_write ? PROT_WRITE : 0);
        int flags = copy_on_write ? MAP_PRIVATE : MAP_SHARED;
        base = mmap(nullptr, length, protection, flags, mapping->fd(), static_cast<off_t>(offset));
        if (base == MAP_FAILED) {
            return fail_errno(LPVOID{nullptr});
        }
    }
    const bool writes_back = mapping->over_file() && wants_write && !copy_on_write;
    std::lock_guard lock(views_mutex());
    views()[reinterpret_cast<std::uintptr_t>(base)] =
        View{std::move(mapping), length, offset, writes_back};
    return base;
}

namespace tarnwick::platform {

WakeWord* wake_word_of_view(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::lock_guard lock(views_mutex());
    auto after = views().upper_bound(at);
    if (after == views().begin()) {
        return nullptr;
    }
    const auto& [base, view] = *std::prev(after);
    return at < base + view.length ? view.mapping->wake_word() : nullptr;
}

}  // namespace tarnwick::platform

BOOL UnmapViewOfFile(LPCVOID base) {
    View view;
    {
        std::lock_guard lock(views_mutex());
        auto found = views().find(reinterpret_cast<std::uintptr_t>(base));
        if (found == views().end()) {
            return fail(ERROR_INVALID_ADDRESS, FALSE);
        }
        view = std::move(found->second);
        views().erase(found);
    }
    // A failed write-back still unmaps: the view is gone all the same, as its bytes are.
    const BOOL result =
        !view.writes_back || write_at(view.mapping->fd(), base, view.length, view.offset)
            ? TRUE
            : fail_errno(FALSE);
    munmap(const_cast<void*>(base), view.length);
    return result;  // the mapping is released (if this was its last reference) outside the lock
}
