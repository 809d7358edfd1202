#pragma once
// Moving bytes between files and memory without mapping a file itself. Linux, unlike Windows,
// lets anyone who may write a file shorten it while it is mapped, and a load or store through a
// view of the file past its new end then faults (SIGBUS) in code that cannot expect it. Mappings
// of files therefore hold copies and staged views, which touch the file only through pread and
// pwrite, whose failures are errors. All functions report failure through errno.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace tarnwick::platform {

// Reads `length` bytes at `offset`, fewer only where the file ends first; -1 on error.
ssize_t read_at(int fd, void* buffer, std::size_t length, std::uint64_t offset);

// Writes all `length` bytes at `offset`; false when that could not be done.
bool write_at(int fd, const void* bytes, std::size_t length, std::uint64_t offset);

// A new memory file (close-on-exec) of `size` zero bytes, named `name` for /proc. -1 on error.
int create_memory_file(const char* name, std::uint64_t size);

// A new memory file (close-on-exec) of `size` bytes holding the file's first `size` bytes as
// they are now; bytes the file does not have read as zero. -1 on error.
int copy_to_memory_file(int file_fd, std::uint64_t size);

// Extends a file with its blocks allocated. A plain extension leaves a hole, and a store into a
// hole the file system has no room for fails late; a full disk must fail now. A failed extension
// leaves the file at its old size.
bool extend_file(int fd, std::uint64_t old_size, std::uint64_t size);

// Private read-write memory of `length` bytes filled from the file at `offset`; bytes past the
// file's end read as zero. Release it with munmap. nullptr on error.
void* map_staged_copy(int fd, std::uint64_t offset, std::size_t length);

}  // namespace tarnwick::platform
