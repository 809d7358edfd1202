#pragma once
// An open file or device behind a file HANDLE (CreateFileForMappingW, CreateFileW).

#include <string>

#include "platform/handle_table.h"

namespace tarnwick::platform {

class File : public Object {
  public:
    // Takes ownership of `fd`.
    File(int fd, bool writable, std::wstring name);
    ~File() override;

    int fd() const { return fd_; }
    bool writable() const { return writable_; }
    // The name the file was opened by ("COM3:" for a port).
    const std::wstring& name() const { return name_; }

    // ReadFile / WriteFile semantics; the last error is set on failure.
    virtual bool read(void* buffer, DWORD size, DWORD& done);
    virtual bool write(const void* buffer, DWORD size, DWORD& done);

  private:
    int fd_;
    bool writable_;
    std::wstring name_;
};

// How a CreateFile call maps onto open(2), and the share-mode lock that emulates Win32's
// sharing rules between handles (share mode 0: exclusive flock; otherwise shared flock).
struct OpenRequest {
    std::string path;
    DWORD desired_access;
    DWORD share_mode;
    DWORD creation_disposition;
    int extra_flags;  // e.g. O_NOCTTY for devices
};

// Opens the file; -1 with the last error set on failure. On success the last error is
// ERROR_ALREADY_EXISTS when CREATE_ALWAYS / OPEN_ALWAYS found an existing file, else 0.
int open_for_request(const OpenRequest& request);

}  // namespace tarnwick::platform
