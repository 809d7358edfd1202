#pragma once
// File mappings: shared memory (named in the namespace, or anonymous) and mapped files, and
// the views mapped from them.

#include <memory>

#include "platform/handle_table.h"
#include "platform/named_object_file.h"

namespace tarnwick::platform {

class Mapping final : public Object {
  public:
    // What `fd` is: memory that only mappings reach, or a file others may also change.
    enum class Backing { memory, file };

    // Takes ownership of `fd` (an anonymous memory file or a duplicate of a file's descriptor),
    // so the mapping keeps working after the file handle is closed.
    Mapping(int fd, std::uint64_t size, bool writable, Backing backing = Backing::memory);
    // A named mapping over its namespace object file.
    Mapping(std::unique_ptr<NamedObjectFile> file, bool writable);
    ~Mapping() override;

    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }
    bool writable() const { return writable_; }
    bool over_file() const { return backing_ == Backing::file; }
    // The wake-up word of a named mapping's namespace; null for the others.
    WakeWord* wake_word() const { return file_ ? file_->wake_word() : nullptr; }

  private:
    std::unique_ptr<NamedObjectFile> file_;
    int fd_;
    std::uint64_t size_;
    bool writable_;
    Backing backing_ = Backing::memory;
};

// The wake-up word of the named mapping whose view holds `address`; null when no view of a
// named mapping does.
WakeWord* wake_word_of_view(const void* address);

}  // namespace tarnwick::platform
