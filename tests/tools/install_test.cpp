// `cmake --install` of this build into a staging directory (DESTDIR): the three programs, the
// library (static for C++, shared for C) with its headers and pkg-config files, the systemd
// user unit; then a small C++ client and the C example of docs/examples, each built against the
// installed library alone through pkg-config and run in the test's namespace.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_process.h"
#include "tests/tools/sim_process.h"
#include "tests/tools/tool_runner.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// A client of the installed library: without a service it must say so, not crash or hang. It
// declares names of its own that a platform layer would also declare: the library's headers
// must leave them to it.
constexpr const char* client_source = R"(using BOOL = bool;
typedef unsigned long DWORD;
typedef void* HANDLE;
enum { EndScan = 99, TRUE = 1 };
static int Sleep(int) { return 0; }

#include <client/tarnwick.h>

#include <cstdio>

int main() {
    tarnwick::client::StreamMessage message;
    message.record = tarnwick::client::RMC{};
    const HANDLE none = nullptr;
    const BOOL ok = none == nullptr && tarnwick::client::record_id(*message.record) == 4 &&
                    EndScan == 99 && Sleep(0) == 0 && DWORD{TRUE} == 1;
    if (!ok) {
        return 2;
    }
    tarnwick::client::ClientOptions options;
    options.may_start = false;
    std::unique_ptr<tarnwick::client::Client> client;
    const tarnwick::client::ClientError error = tarnwick::client::Client::open(options, client);
    std::printf("%s\n", tarnwick::client::describe(error));
    return error == tarnwick::client::ClientError::service_not_running ? 0 : 1;
}
)";

std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

bool have_pkg_config() {
    return run_tool("/bin/sh", {"-c", "command -v pkg-config"}).exit_code == 0;
}

class Installed : public PrivateNamespace {
  protected:
    // Where an installed file lands below the staging directory.
    fs::path staged(const std::string& installed_path) const {
        return stage_.path() / fs::path(installed_path).relative_path();
    }

    void install() const {
        const ToolRun run =
            run_tool("/usr/bin/env", {"DESTDIR=" + stage_.path().string(), TARNWICK_CMAKE_COMMAND,
                                      "--install", TARNWICK_BINARY_DIR});
        ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    }

    // The flags of the staged installation's pkg-config file `package`.
    std::vector<std::string> pkg_config(const std::string& package) const {
        // Only the staged installation: a .pc elsewhere on the machine must not answer.
        const ToolRun flags =
            run_tool("/usr/bin/env",
                     {"PKG_CONFIG_LIBDIR=" + staged(TARNWICK_INSTALL_LIBDIR "/pkgconfig").string(),
                      "pkg-config", "--cflags", "--libs", package});
        EXPECT_EQ(flags.exit_code, 0) << flags.err;
        EXPECT_NE(flags.out.find(stage_.path().string()), std::string::npos)
            << "the paths must follow the moved installation: " << flags.out;
        return words_of(flags.out);
    }

    // Builds `source` into `program` with `compiler` in the language `standard`, the build's
    // own sanitizer options (an instrumented library needs its runtime) and `flags`; the
    // compiler's messages on failure.
    static ToolRun build(const std::string& compiler, const std::vector<std::string>& options,
                         const fs::path& source, const std::vector<std::string>& flags,
                         const fs::path& program) {
        std::vector<std::string> compile = words_of(TARNWICK_TEST_CLIENT_FLAGS);
        compile.insert(compile.begin(), options.begin(), options.end());
        compile.push_back(source.string());
        compile.insert(compile.end(), flags.begin(), flags.end());
        compile.insert(compile.end(), {"-o", program.string()});
        return run_tool(compiler, compile);
    }

    // Runs a program built against the staged library with that library, not the build tree's.
    ToolRun run_staged(const fs::path& program, const std::vector<std::string>& arguments) const {
        std::vector<std::string> words = {
            "LD_LIBRARY_PATH=" + staged(TARNWICK_INSTALL_LIBDIR).string(), program.string()};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return run_tool("/usr/bin/env", words);
    }

    TempDir stage_;
};

TEST_F(Installed, ProgramsLibraryUnitAndAClientBuiltThroughPkgConfig) {
    ASSERT_NO_FATAL_FAILURE(install());

    const std::string bindir = TARNWICK_INSTALL_BINDIR;
    for (const char* program : {"tarnwickd", "tarnwick", "tarnwick-sim"}) {
        const fs::path path = staged(bindir + "/" + program);
        ASSERT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none);
    }
    const std::string libdir = TARNWICK_INSTALL_LIBDIR;
    EXPECT_TRUE(fs::is_regular_file(staged(libdir + "/libtarnwick.a")));
    EXPECT_TRUE(
        fs::is_regular_file(staged(TARNWICK_INSTALL_INCLUDEDIR "/tarnwick/client/tarnwick.h")));
    EXPECT_TRUE(fs::is_regular_file(staged(TARNWICK_INSTALL_DOCDIR "/running.md")));
    // Only the library's own types are installed, not what implements them.
    for (const char* internal : {"platform", "exchange", "nmea", "base"}) {
        EXPECT_FALSE(fs::exists(staged(TARNWICK_INSTALL_INCLUDEDIR "/tarnwick") / internal))
            << internal;
    }

    // The unit runs the installed service where the installation puts it, not from DESTDIR.
    const std::string unit =
        read_file(staged(TARNWICK_INSTALL_PREFIX "/lib/systemd/user/tarnwickd.service"));
    EXPECT_NE(unit.find("\nExecStart=" + bindir + "/tarnwickd\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("\nWantedBy=default.target\n"), std::string::npos) << unit;

    const ToolRun help = run_tool(staged(bindir + "/tarnwick"), {"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("connect-port"), std::string::npos) << help.out;

    if (!have_pkg_config()) {
        GTEST_SKIP() << "pkg-config is not installed (scripts/setup.sh installs it)";
    }
    const std::vector<std::string> flags = pkg_config("tarnwick");
    ASSERT_FALSE(HasFailure());

    const fs::path source = stage_.path() / "client.cpp";
    const fs::path program = stage_.path() / "client";
    write_file(source, client_source);
    const ToolRun built = build(TARNWICK_CXX_COMPILER, {"-std=c++20"}, source, flags, program);
    ASSERT_EQ(built.exit_code, 0) << built.err;

    const ToolRun run = run_tool(program, {});
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
}

TEST_F(Installed, TheSharedLibraryExportsOnlyTheCInterface) {
    ASSERT_NO_FATAL_FAILURE(install());
    const std::string libdir = TARNWICK_INSTALL_LIBDIR;
    EXPECT_TRUE(fs::is_regular_file(staged(TARNWICK_INSTALL_INCLUDEDIR "/tarnwick/tarnwick.h")));
    EXPECT_TRUE(fs::is_regular_file(staged(libdir + "/pkgconfig/tarnwick-c.pc")));
    // The real file, the soname link the loader looks for, and the link for -ltarnwick.
    const fs::path real = staged(libdir + "/libtarnwick.so." TARNWICK_VERSION_STRING);
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(real))) << real;
    for (const char* link : {"libtarnwick.so." TARNWICK_SOVERSION_STRING, "libtarnwick.so"}) {
        const fs::path path = staged(libdir + "/" + link);
        ASSERT_TRUE(fs::is_symlink(path)) << path;
        EXPECT_TRUE(fs::equivalent(path, real)) << path;
    }
    const ToolRun dynamic = run_tool("/usr/bin/env", {"readelf", "-d", real.string()});
    ASSERT_EQ(dynamic.exit_code, 0) << dynamic.err;
    EXPECT_NE(dynamic.out.find("[libtarnwick.so." TARNWICK_SOVERSION_STRING "]"), std::string::npos)
        << dynamic.out;

    const ToolRun symbols = run_tool("/usr/bin/env", {"nm", "-D", "--defined-only", real.string()});
    ASSERT_EQ(symbols.exit_code, 0) << symbols.err;
    std::istringstream lines(symbols.out);
    std::vector<std::string> exported;
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> fields = words_of(line);
        ASSERT_GE(fields.size(), 2U) << line;
        const std::string& name = fields.back();
        // The version script's node appears as an absolute symbol of its own.
        if (fields[fields.size() - 2] == "A" && name == "TARNWICK_0") {
            continue;
        }
        EXPECT_TRUE(name.starts_with("tarnwick_")) << "exported: " << line;
        exported.push_back(name.substr(0, name.find('@')));
    }
    for (const char* function : {"tarnwick_open", "tarnwick_close", "tarnwick_watcher_next",
                                 "tarnwick_get_valid_rmc", "tarnwick_error_message"}) {
        EXPECT_NE(std::find(exported.begin(), exported.end(), function), exported.end())
            << function;
    }
}

TEST_F(Installed, TheCExampleBuiltThroughPkgConfigWatchesARealService) {
    ASSERT_NO_FATAL_FAILURE(install());
    if (!have_pkg_config()) {
        GTEST_SKIP() << "pkg-config is not installed (scripts/setup.sh installs it)";
    }
    std::vector<std::string> flags = pkg_config("tarnwick-c");
    ASSERT_FALSE(HasFailure());
    const fs::path program = stage_.path() / "where";
    const ToolRun built = build(TARNWICK_C_COMPILER, {"-std=c99", "-Wall", "-Wextra", "-Werror"},
                                TARNWICK_SOURCE_DIR "/docs/examples/where.c", flags, program);
    ASSERT_EQ(built.exit_code, 0) << built.err;

    ServiceProcess service;
    ASSERT_TRUE(service.wait_ready());
    SimProcess receiver({"serial", "--name", "COM4:", "--rate", "10"});
    ASSERT_TRUE(receiver.first_line().starts_with("COM4: ")) << receiver.log();
    const ToolRun connect =
        run_tool(built_program("tools/tarnwick/tarnwick"), {"connect-port", "COM4:", "4800"});
    ASSERT_EQ(connect.exit_code, 0) << connect.out << connect.err;

    const ToolRun run = run_staged(program, {"3"});
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    std::istringstream lines(run.out);
    std::string first;
    std::getline(lines, first);
    EXPECT_TRUE(first.starts_with("last fix ") || first == "no valid fix yet") << run.out;
    int rmc = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.starts_with("rmc ")) << line;
        EXPECT_NE(line.find(" A "), std::string::npos) << "the simulator has its fix: " << line;
        ++rmc;
    }
    EXPECT_EQ(rmc, 3) << run.out;

    const ToolRun usage = run_staged(program, {"none"});
    EXPECT_EQ(usage.exit_code, 2) << usage.out << usage.err;

    const ToolRun quit = run_tool(built_program("tools/tarnwick/tarnwick"), {"quit"});
    EXPECT_EQ(quit.exit_code, 0) << quit.err;
    EXPECT_EQ(service.wait(), 0);
}

}  // namespace
}  // namespace tarnwick::test
