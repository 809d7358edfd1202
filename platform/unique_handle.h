#pragma once
// Owns one handle and closes it when it goes: the handles an object creates and keeps. Both null
// and INVALID_HANDLE_VALUE (what a failed file open gives) mean "none" and are never closed.

#include <utility>

#include "platform/win32.h"

namespace GPS {

class unique_handle {
  public:
    unique_handle() noexcept = default;
    explicit unique_handle(HANDLE handle) noexcept : handle_(handle) {}
    ~unique_handle() { reset(); }
    unique_handle(unique_handle&& other) noexcept : handle_(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;

    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept {
        return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
    }

    // Closes the handle held (if any) and holds `handle` instead.
    void reset(HANDLE handle = nullptr) noexcept {
        if (HANDLE previous = std::exchange(handle_, handle);
            previous != nullptr && previous != INVALID_HANDLE_VALUE) {
            CloseHandle(previous);
        }
    }
    HANDLE release() noexcept { return std::exchange(handle_, nullptr); }

  private:
    HANDLE handle_ = nullptr;
};

}  // namespace GPS
