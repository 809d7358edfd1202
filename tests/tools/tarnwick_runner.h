#pragma once
// The built `tarnwick` program, run as a process in the test's namespace.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/tools/tool_runner.h"

namespace tarnwick::test {

inline std::filesystem::path tarnwick_program() {
    return built_program("tools/tarnwick/tarnwick");
}

inline ToolRun tarnwick(const std::vector<std::string>& arguments) {
    return run_tool(tarnwick_program(), arguments);
}

}  // namespace tarnwick::test
