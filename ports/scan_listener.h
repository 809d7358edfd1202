#pragma once
// What a port scan reports to: every step of probing a port, with the port's name (or null)
// and a value whose meaning depends on the event code. The answer can skip or stop parts of
// the scan where the scan looks at it.

#include <cstdint>

enum ScanAnswer : std::int32_t { Skip = 0, Stop = 1, Proceed = 2 };

class CScanListener {
  public:
    virtual ~CScanListener() = default;
    // Called concurrently from every port's scan thread; implementations serialise their work.
    virtual std::int32_t set(std::int32_t code, const wchar_t* port, std::int32_t value) = 0;
};
