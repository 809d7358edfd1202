#pragma once
// The one table behind every HANDLE (and HKEY) the platform hands out.
//
// A handle encodes a slot index and that slot's generation, so a handle that was closed (or
// never issued) fails with ERROR_INVALID_HANDLE instead of reaching whatever object took the
// slot later. Slots are recycled first-in first-out, which keeps reuse rare as well.

#include <memory>

#include "platform/win32.h"

namespace tarnwick::platform {

// Anything a handle can refer to. Objects are shared: a call in progress keeps the object
// alive even if another thread closes the handle meanwhile.
class Object {
  public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;
    // The handle is being closed: devices interrupt calls still blocked on them, so that
    // closing a port ends a pending read as on Windows.
    virtual void closing() {}
};

// Enters `object` into the table; null (with ERROR_NOT_ENOUGH_MEMORY) when the table is full.
HANDLE insert_handle(std::shared_ptr<Object> object);

// The object behind `handle`, or null (last error ERROR_INVALID_HANDLE).
std::shared_ptr<Object> lookup_handle(HANDLE handle);

// Removes `handle` from the table and returns its object (null when the handle is invalid).
std::shared_ptr<Object> remove_handle(HANDLE handle);

// The object behind `handle` when it is a T; otherwise null with ERROR_INVALID_HANDLE.
template <typename T>
std::shared_ptr<T> lookup_as(HANDLE handle) {
    auto object = std::dynamic_pointer_cast<T>(lookup_handle(handle));
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return object;
}

}  // namespace tarnwick::platform
