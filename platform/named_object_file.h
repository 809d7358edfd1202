#pragma once
// The file behind one named event, mutex or mapping, and the protocol that makes a name exist
// exactly while some live process holds it:
//
// - every holder keeps a shared flock on its open descriptor of the file; the kernel drops it
//   when the process dies, however it dies;
// - creating or opening happens under the namespace's creation lock (an exclusive flock on
//   objects/.namespace.lock); there a non-blocking exclusive flock on the object file decides:
//   granted means no live holder, so the object is made fresh (truncated, re-initialised);
// - the last holder to let go removes the file, again under the creation lock.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/wake_word.h"
#include "platform/win32.h"

namespace tarnwick::platform {

// Held while named objects are created, opened or released. Also serialises the threads of
// this process, which a flock alone (per open file description) would not. Re-entrant within
// a thread (a failed creation releases its file while the lock is held).
class NamespaceCreationLock {
  public:
    // The namespace of `objects_dir` (by default the current namespace's objects directory).
    NamespaceCreationLock();
    explicit NamespaceCreationLock(std::filesystem::path objects_dir);
    ~NamespaceCreationLock();
    NamespaceCreationLock(const NamespaceCreationLock&) = delete;
    NamespaceCreationLock& operator=(const NamespaceCreationLock&) = delete;
    bool held() const { return fd_ >= 0; }
    const std::filesystem::path& objects_directory() const { return directory_; }

  private:
    std::filesystem::path directory_;
    int fd_ = -1;
    bool outermost_ = false;
};

class NamedObjectFile {
  public:
    enum class Disposition { create_or_open, open_existing };

    // Opens or creates the object file. A created file (created() true) has `create_size`
    // zero bytes; an opened one keeps its size. With `map_whole` the file is mapped shared and
    // read-write (memory()). Null with the last error set on failure (ERROR_FILE_NOT_FOUND when
    // open_existing finds no live holder).
    static std::unique_ptr<NamedObjectFile> acquire(const NamespaceCreationLock& lock,
                                                    std::wstring_view name, const char* suffix,
                                                    Disposition disposition,
                                                    std::uint64_t create_size, bool map_whole);
    ~NamedObjectFile();
    NamedObjectFile(const NamedObjectFile&) = delete;
    NamedObjectFile& operator=(const NamedObjectFile&) = delete;

    bool created() const { return created_; }
    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }
    void* memory() const { return memory_; }
    // The wake-up word of the object's namespace, which its signals bump.
    WakeWord* wake_word() const { return wake_word_; }

  private:
    NamedObjectFile(std::filesystem::path path, int fd, bool created, std::uint64_t size,
                    WakeWord* wake_word);

    std::filesystem::path path_;
    int fd_;
    bool created_;
    std::uint64_t size_;
    void* memory_ = nullptr;
    WakeWord* wake_word_;
};

}  // namespace tarnwick::platform
