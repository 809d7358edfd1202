#pragma once
// Holds a critical section for one scope, also when an exception leaves it.

#include "platform/win32.h"

namespace GPS {

class scoped_critical_section {
  public:
    explicit scoped_critical_section(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~scoped_critical_section() { LeaveCriticalSection(&section_); }
    scoped_critical_section(const scoped_critical_section&) = delete;
    scoped_critical_section& operator=(const scoped_critical_section&) = delete;

  private:
    CRITICAL_SECTION& section_;
};

}  // namespace GPS
