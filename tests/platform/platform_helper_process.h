#pragma once
// The platform test helper (tarnwick_platform_helper) as the second process of a cross-process
// test.

#include <string>
#include <vector>

#include "tests/support/spawned_process.h"

namespace tarnwick::test {

class PlatformHelper : public SpawnedProcess {
  public:
    // Starts the helper with `arguments`; it inherits the environment, TARNWICK_HOME included.
    explicit PlatformHelper(const std::vector<std::string>& arguments);
};

}  // namespace tarnwick::test
