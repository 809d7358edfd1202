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

  private:
    std::unique_ptr<NamedObjectFile> file_;
    int fd_;
    std::uint64_t size_;
    bool writable_;
    Backing backing_ = Backing::memory;
};

}  // namespace tarnwick::platform
