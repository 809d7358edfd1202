#pragma once
// Runs one of the project's programs as a real process, with files for its standard streams.

#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::test {

struct ToolRun {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// The built program at the given path below the build directory ("tools/tarnwick/tarnwick").
std::filesystem::path built_program(const std::string& relative);

// Runs program with the arguments (each passed as one word) and, when given, a file on its
// standard input and another one for its standard output (then ToolRun::out stays empty).
ToolRun run_tool(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& input = {}, const std::filesystem::path& output = {});

}  // namespace tarnwick::test
