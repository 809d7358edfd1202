#pragma once
// The port scanner as far as its ports see it: the listener their scan events go to, null
// outside a scan. The scanner sets and clears it from its own threads while ports read it.

#include <atomic>

#include "ports/scan_listener.h"

class CPortScanner {
  public:
    virtual ~CPortScanner() = default;

    std::atomic<CScanListener*> listener{nullptr};
};
