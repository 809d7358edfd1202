#include "tests/tools/track_check.h"

#include <cstdlib>
#include <vector>

#include "tests/tools/tool_runner.h"

namespace tarnwick::test {

namespace {

// Debian's python3-gpxpy belongs to Debian's interpreter, which another python3 earlier on the
// PATH (a virtual environment, pyenv) may hide.
const std::string& python_with_gpxpy() {
    static const std::string found = [] {
        for (const char* interpreter : {"/usr/bin/python3", "python3"}) {
            const std::string probe =
                std::string(interpreter) + " -c 'import gpxpy' >/dev/null 2>&1";
            if (std::system(probe.c_str()) == 0) {
                return std::string(interpreter);
            }
        }
        return std::string();
    }();
    return found;
}

}  // namespace

bool gpxpy_available() {
    return !python_with_gpxpy().empty();
}

TrackCheck check_track(const std::string& format, const std::filesystem::path& track,
                       const std::filesystem::path& records, bool run) {
    std::vector<std::string> arguments = {TARNWICK_TRACK_CHECKER, format, track.string(),
                                          records.string()};
    if (run) {
        arguments.emplace_back("--run");
    }
    const ToolRun checked = run_tool(python_with_gpxpy(), arguments);
    TrackCheck result;
    result.passed = checked.exit_code == 0;
    result.report = checked.out + checked.err;
    if (checked.out.starts_with("points ")) {
        result.points = std::atoi(checked.out.c_str() + 7);
    }
    return result;
}

std::filesystem::path decoded_records(const std::filesystem::path& input,
                                      const std::filesystem::path& dir, bool gnss,
                                      const std::string& framing) {
    const auto records = dir / (input.stem().string() + ".records.json");
    std::vector<std::string> arguments = {"decode",    "--format", "json",
                                          "--framing", framing,    input.string()};
    if (gnss) {
        arguments.insert(arguments.begin() + 1, "--gnss");
    }
    run_tool(built_program("tools/tarnwick/tarnwick"), arguments, {}, records);
    return records;
}

}  // namespace tarnwick::test
