// CreateFileForMappingW, GetFileSize, DeleteFileW, MoveFileW, GetModuleFileNameW and
// GetSystemInfo.

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "base/utf8.h"
#include "platform/file_object.h"
#include "platform/last_error.h"

using tarnwick::to_utf8;
using tarnwick::platform::fail;
using tarnwick::platform::fail_errno;
using tarnwick::platform::File;

HANDLE CreateFileForMappingW(LPCWSTR path, DWORD desired_access, DWORD share_mode,
                             LPSECURITY_ATTRIBUTES, DWORD creation_disposition, DWORD, HANDLE) {
    if (path == nullptr) {
        return fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    }
    tarnwick::platform::OpenRequest request{to_utf8(path), desired_access, share_mode,
                                            creation_disposition, 0};
    int fd = tarnwick::platform::open_for_request(request);
    if (fd < 0) {
        return INVALID_HANDLE_VALUE;
    }
    DWORD open_result = GetLastError();
    HANDLE handle = tarnwick::platform::insert_handle(
        std::make_shared<File>(fd, (desired_access & GENERIC_WRITE) != 0, path));
    if (handle == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(open_result);
    return handle;
}

DWORD GetFileSize(HANDLE handle, LPDWORD size_high) {
    auto file = tarnwick::platform::lookup_as<File>(handle);
    struct stat status {};
    if (!file) {
        return INVALID_FILE_SIZE;
    }
    if (fstat(file->fd(), &status) != 0) {
        return fail_errno(INVALID_FILE_SIZE);
    }
    auto size = static_cast<std::uint64_t>(status.st_size);
    if (size_high != nullptr) {
        *size_high = static_cast<DWORD>(size >> 32);
    }
    SetLastError(ERROR_SUCCESS);  // INVALID_FILE_SIZE can be a real low part
    return static_cast<DWORD>(size);
}

BOOL DeleteFileW(LPCWSTR path) {
    if (path == nullptr) {
        return fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (unlink(to_utf8(path).c_str()) != 0) {
        return fail_errno(FALSE);
    }
    return TRUE;
}

BOOL MoveFileW(LPCWSTR existing_path, LPCWSTR new_path) {
    if (existing_path == nullptr || new_path == nullptr) {
        return fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    std::string from = to_utf8(existing_path);
    std::string to = to_utf8(new_path);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return TRUE;
    }
    if (errno == EINVAL || errno == ENOSYS) {
        // File systems without RENAME_NOREPLACE: a hard link refuses an existing target too.
        if (link(from.c_str(), to.c_str()) == 0) {
            unlink(from.c_str());
            return TRUE;
        }
    }
    if (errno == EEXIST) {
        return fail(ERROR_ALREADY_EXISTS, FALSE);
    }
    return fail_errno(FALSE);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    if (module != nullptr) {
        return fail(ERROR_INVALID_HANDLE, DWORD{0});  // only the process's own executable
    }
    std::string target(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
        return fail_errno(DWORD{0});
    }
    target.resize(static_cast<std::size_t>(length));
    std::wstring path = tarnwick::from_utf8(target);
    if (buffer == nullptr || size == 0) {
        return fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    }
    if (path.size() + 1 > size) {
        // Truncated and terminated, as on current Windows.
        std::wmemcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = L'\0';
        return fail(ERROR_INSUFFICIENT_BUFFER, size);
    }
    std::wmemcpy(buffer, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

void GetSystemInfo(SYSTEM_INFO* info) {
    if (info == nullptr) {
        return;
    }
    *info = SYSTEM_INFO{};
#if defined(__x86_64__)
    info->wProcessorArchitecture = 9;  // PROCESSOR_ARCHITECTURE_AMD64
#elif defined(__aarch64__)
    info->wProcessorArchitecture = 12;  // PROCESSOR_ARCHITECTURE_ARM64
#elif defined(__arm__)
    info->wProcessorArchitecture = 5;  // PROCESSOR_ARCHITECTURE_ARM
#elif defined(__i386__)
    info->wProcessorArchitecture = 0;  // PROCESSOR_ARCHITECTURE_INTEL
#else
    info->wProcessorArchitecture = 0xFFFF;  // PROCESSOR_ARCHITECTURE_UNKNOWN
#endif
    long page = sysconf(_SC_PAGESIZE);
    info->dwPageSize = static_cast<DWORD>(page > 0 ? page : 4096);
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{0x10000});
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(~std::uintptr_t{0} >> 17);
    unsigned processors = std::thread::hardware_concurrency();
    info->dwNumberOfProcessors = processors > 0 ? processors : 1;
    info->dwActiveProcessorMask = processors >= sizeof(std::uintptr_t) * 8
                                      ? ~std::uintptr_t{0}
                                      : (std::uintptr_t{1} << processors) - 1;
    // Like Windows: view offsets are multiples of 64 KiB, which is also a multiple of every
    // Linux page size, so mmap accepts them everywhere.
    info->dwAllocationGranularity = 65536;
}
