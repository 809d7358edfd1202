#include "tests/platform/platform_helper_process.h"

namespace tarnwick::test {

PlatformHelper::PlatformHelper(const std::vector<std::string>& arguments)
    : SpawnedProcess(TARNWICK_PLATFORM_HELPER, arguments) {}

}  // namespace tarnwick::test
