#include "tests/tools/tool_runner.h"

#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/spawned_process.h"
#include "tests/support/test_support.h"

namespace tarnwick::test {
namespace {

std::string quoted(const std::string& word) {
    std::string out = "'";
    for (const char c : word) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

}  // namespace

std::filesystem::path built_program(const std::string& relative) {
    return std::filesystem::path(TARNWICK_BINARY_DIR) / relative;
}

ToolRun run_tool(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& input, const std::filesystem::path& output) {
    TempDir streams;
    std::string command;
    for (const std::string& word : command_line(program, arguments)) {
        command += (command.empty() ? "" : " ") + quoted(word);
    }
    command += " <" + quoted(input.empty() ? "/dev/null" : input.string());
    command += " >" + quoted((output.empty() ? streams.path() / "out" : output).string());
    command += " 2>" + quoted((streams.path() / "err").string());
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_file(streams.path() / "out");
    run.err = read_file(streams.path() / "err");
    return run;
}

}  // namespace tarnwick::test
