#pragma once
// The lock a reader holds while it is inside a call of its listener, and that replacing the
// listener takes too: once a replacement has returned, the previous listener is never inside a
// call again and may be destroyed.
//
// It lives apart from the reader, shared by the reader object and its thread, because the
// reader's set_state call may destroy the reader (the data server does so): the thread keeps
// its own reference, so the lock it still holds outlives the object.

#include <memory>

#include "platform/win32.h"

namespace GPS {

class listener_lock {
  public:
    listener_lock() { InitializeCriticalSection(&section_); }
    ~listener_lock() { DeleteCriticalSection(&section_); }
    listener_lock(const listener_lock&) = delete;
    listener_lock& operator=(const listener_lock&) = delete;

    CRITICAL_SECTION& section() noexcept { return section_; }

    static std::shared_ptr<listener_lock> create() { return std::make_shared<listener_lock>(); }

  private:
    CRITICAL_SECTION section_;
};

}  // namespace GPS
