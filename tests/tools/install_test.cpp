// `cmake --install` of this build into a staging directory (DESTDIR): the three programs, the
// library with its headers and pkg-config file, the systemd user unit; then a small client
// built against the installed library alone, through pkg-config, run in the test's namespace.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/platform/namespace_fixture.h"
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

    TempDir stage_;
};

TEST_F(Installed, ProgramsLibraryUnitAndAClientBuiltThroughPkgConfig) {
    const ToolRun install =
        run_tool("/usr/bin/env", {"DESTDIR=" + stage_.path().string(), TARNWICK_CMAKE_COMMAND,
                                  "--install", TARNWICK_BINARY_DIR});
    ASSERT_EQ(install.exit_code, 0) << install.out << install.err;

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
    // Only the staged installation: a tarnwick.pc elsewhere on the machine must not answer.
    const ToolRun flags =
        run_tool("/usr/bin/env", {"PKG_CONFIG_LIBDIR=" + staged(libdir + "/pkgconfig").string(),
                                  "pkg-config", "--cflags", "--libs", "tarnwick"});
    ASSERT_EQ(flags.exit_code, 0) << flags.err;
    EXPECT_NE(flags.out.find(stage_.path().string()), std::string::npos)
        << "the paths must follow the moved installation: " << flags.out;

    const fs::path source = stage_.path() / "client.cpp";
    const fs::path program = stage_.path() / "client";
    write_file(source, client_source);
    // The build's own sanitizer options: an instrumented library needs its runtime.
    std::vector<std::string> compile = words_of(TARNWICK_TEST_CLIENT_FLAGS);
    compile.insert(compile.begin(), "-std=c++20");
    compile.push_back(source.string());
    for (const std::string& flag : words_of(flags.out)) {
        compile.push_back(flag);
    }
    compile.insert(compile.end(), {"-o", program.string()});
    const ToolRun build = run_tool(TARNWICK_CXX_COMPILER, compile);
    ASSERT_EQ(build.exit_code, 0) << build.err;

    const ToolRun run = run_tool(program, {});
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
}

}  // namespace
}  // namespace tarnwick::test
