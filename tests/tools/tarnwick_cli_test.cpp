// The `tarnwick` subcommands as real processes against a stand-in service in the test's
// namespace (the real one: tarnwick_service_test.cpp).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "client/service_settings.h"
#include "platform/win32.h"
#include "protocol/registry.h"
#include "tests/client/fake_service.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/support/spawned_process.h"
#include "tests/tools/tarnwick_runner.h"
#include "tools/common/record_hex.h"

namespace tarnwick::test {
namespace {

std::filesystem::path tarnwick_program() {
    return built_program("tools/tarnwick/tarnwick");
}

ToolRun tarnwick(const std::vector<std::string>& arguments) {
    return run_tool(tarnwick_program(), arguments);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

using Cli = PrivateNamespace;

// Stores a value in the service's key as the service (or a user with a registry editor) would.
void store_setting(const wchar_t* name, DWORD type, const void* bytes, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, protocol::registry::key, 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(bytes), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void store_text(const wchar_t* name, const std::wstring& text) {
    store_setting(name, REG_SZ, text.c_str(),
                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void store_number(const wchar_t* name, DWORD value) {
    store_setting(name, REG_DWORD, &value, sizeof value);
}

TEST_F(Cli, WithoutAServiceNoStartExitsThreeAndNamesTheFix) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"status", "--no-start"},
          {"fix", "--no-start"},
          {"watch", "--no-start", "--count", "1"}}) {
        const ToolRun run = tarnwick(command);
        EXPECT_EQ(run.exit_code, 3) << command[0];
        EXPECT_NE(run.err.find("the service is not running: start it with `tarnwickd` or "
                               "`systemctl --user start tarnwickd`"),
                  std::string::npos)
            << run.err;
    }
    // Nothing ever ran in this namespace, so there is no program to start.
    const ToolRun status = tarnwick({"status"});
    EXPECT_EQ(status.exit_code, 3);
    EXPECT_NE(status.err.find("could not be started: start it with `tarnwickd`"), std::string::npos)
        << status.err;
    // quit never starts the service.
    const ToolRun quit = tarnwick({"quit"});
    EXPECT_EQ(quit.exit_code, 3);
    EXPECT_NE(quit.err.find("not running: there is nothing to quit"), std::string::npos)
        << quit.err;
}

// The settings live in the registry and are read and changed with no service running.
TEST_F(Cli, ConfigShowsTheStoredSettingsAndSwitchesTheGnssMode) {
    const ToolRun fresh = tarnwick({"config"});
    ASSERT_EQ(fresh.exit_code, 0) << fresh.err;
    EXPECT_EQ(fresh.out,
              "path  (none)\nport  (none)\nbaud  (none)\n"
              "gnss  off (receivers of the talker GP only)\n");

    store_text(protocol::registry::path_value, L"/opt/tarnwick/bin/tarnwickd");
    store_text(L"port", L"COM3:");
    store_number(L"baud", 115200);
    const ToolRun on = tarnwick({"config", "gnss", "on"});
    ASSERT_EQ(on.exit_code, 0) << on.err;
    EXPECT_NE(on.out.find("from now on"), std::string::npos) << on.out;
    EXPECT_EQ(tarnwick({"config"}).out,
              "path  /opt/tarnwick/bin/tarnwickd\nport  COM3:\nbaud  115200\n"
              "gnss  on (every satellite system)\n");
    ASSERT_EQ(tarnwick({"config", "gnss", "off"}).exit_code, 0);
    EXPECT_TRUE(
        tarnwick({"config"}).out.ends_with("gnss  off (receivers of the talker GP only)\n"));

    // Only 1 turns the mode on; a value of another type counts as absent.
    struct Stored {
        const char* what;
        void (*store)();
    };
    for (const Stored& stored :
         {Stored{"the number 2", [] { store_number(protocol::registry::gnss_value, 2); }},
          Stored{"the text 1", [] { store_text(protocol::registry::gnss_value, L"1"); }}}) {
        stored.store();
        EXPECT_TRUE(
            tarnwick({"config"}).out.ends_with("gnss  off (receivers of the talker GP only)\n"))
            << stored.what;
    }

    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"config", "gnss"},
                                                  {"config", "gnss", "yes"},
                                                  {"config", "baud", "on"},
                                                  {"config", "gnss", "on", "now"}}) {
        const ToolRun run = tarnwick(wrong);
        EXPECT_EQ(run.exit_code, 2) << wrong[1] << " " << (wrong.size() > 2 ? wrong[2] : "");
    }
    EXPECT_TRUE(
        tarnwick({"config"}).out.ends_with("gnss  off (receivers of the talker GP only)\n"));
}

TEST_F(Cli, StatusShowsTheStateTogether) {
    FakeService::Settings settings;
    settings.input_mode = 5;
    settings.has_fix = true;
    settings.fix = sample_rmc(61);
    FakeService service(settings);

    const ToolRun text = tarnwick({"status"});
    EXPECT_EQ(text.exit_code, 0) << text.err;
    EXPECT_NE(text.out.find("serial port, recording"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("2026-12-09 12:01:01.000 UTC"), std::string::npos) << text.out;

    const ToolRun json = tarnwick({"status", "--json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    const auto status = nlohmann::json::parse(json.out);
    EXPECT_EQ(status["input"]["mode"], 5);
    EXPECT_TRUE(status["input"]["recording"]);
    EXPECT_TRUE(status["connection"].is_null());
    EXPECT_EQ(status["tstamp"], false);
    EXPECT_EQ(status["fix"]["status"], "A");
    EXPECT_EQ(service.batches(), 2);  // one transaction per run
}

TEST_F(Cli, RequestsAndTheirFailures) {
    FakeService::Settings settings;
    settings.ports = {L"COM1:", L"COM2:"};
    FakeService service(settings);

    const ToolRun ports = tarnwick({"ports", "--json"});
    EXPECT_EQ(ports.exit_code, 0);
    EXPECT_EQ(nlohmann::json::parse(ports.out)["ports"], nlohmann::json::array({"COM1:", "COM2:"}));

    // The stand-in refuses every port with "access denied". Standard output is a file here, so
    // what the command waits for goes to standard error, and the result alone to its output.
    const ToolRun connect = tarnwick({"connect-port", "COM1:", "4800"});
    EXPECT_EQ(connect.exit_code, 1);
    EXPECT_NE(connect.err.find("connecting to COM1: at 4800 baud: waiting for a first NMEA "
                               "sentence (up to 8 s)"),
              std::string::npos)
        << connect.err;
    EXPECT_NE(connect.err.find("add yourself to the dialout group"), std::string::npos)
        << connect.err;
    EXPECT_TRUE(connect.out.empty()) << connect.out;
    const ToolRun quiet = tarnwick({"connect-port", "COM1:", "4800", "--quiet", "--json"});
    EXPECT_EQ(quiet.exit_code, 1);
    EXPECT_EQ(nlohmann::json::parse(quiet.out)["system_error"], 5);
    EXPECT_EQ(quiet.err.find("waiting"), std::string::npos) << quiet.err;

    const ToolRun fix = tarnwick({"fix"});
    EXPECT_EQ(fix.exit_code, 1);
    EXPECT_NE(fix.err.find("no valid fix"), std::string::npos);

    const ToolRun raw = tarnwick({"raw", "f7030000", "ee030000"});
    EXPECT_EQ(raw.exit_code, 0);
    EXPECT_EQ(raw.out, "f703000000000000ee03000000000000\n");

    EXPECT_EQ(tarnwick({"raw", "f7030"}).exit_code, 2);
    EXPECT_EQ(tarnwick({"restart"}).exit_code, 2);
}

TEST_F(Cli, PathsAreSentAbsolute) {
    FakeService service;
    const std::filesystem::path file = home() / "track.nmea";
    write_file(file, "$GPGLL,,,,,,V*00\r\n");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(home());

    const ToolRun open = tarnwick({"open-file", "track.nmea", "--loop"});
    EXPECT_EQ(open.exit_code, 0) << open.err;
    EXPECT_EQ(std::filesystem::path(service.last_path()), file);

    const ToolRun record = tarnwick({"record", "start", "out/../drive.nmea"});
    EXPECT_EQ(record.exit_code, 0) << record.err;
    EXPECT_EQ(std::filesystem::path(service.last_path()), home() / "drive.nmea");

    EXPECT_EQ(tarnwick({"open-file", "missing.nmea"}).exit_code, 2);
    std::filesystem::current_path(previous);
}

TEST_F(Cli, WatchPrintsRecordsAsDecodeDoesAndNotificationsAsTheirBody) {
    FakeService service;
    const CRMCRecord rmc = sample_rmc(3);
    service.publish(record_message(4, rmc));
    service.publish({0xf3, 0x03, 0, 0});              // input lost
    service.publish({0xf5, 0x03, 0, 0, 2, 0, 0, 0});  // reconnected: file
    const ToolRun raw = tarnwick({"watch", "--count", "3", "--format", "raw"});
    ASSERT_EQ(raw.exit_code, 0) << raw.err;
    std::string rmc_line = "4 ";
    tools::append_record_hex(rmc_line, rmc);
    EXPECT_EQ(lines_of(raw.out), (std::vector<std::string>{rmc_line, "1011", "1013 02000000"}));

    service.publish(record_message(4, rmc));
    const ToolRun json = tarnwick({"watch", "--count", "1", "--format", "json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out)["type"], "RMC");

    const ToolRun quiet = tarnwick({"watch", "--seconds", "0.3"});
    EXPECT_EQ(quiet.exit_code, 0);
    EXPECT_TRUE(quiet.out.empty());
}

TEST_F(Cli, ConcurrentClientsEachGetTheirOwnAnswers) {
    FakeService::Settings settings;
    settings.input_mode = 2;
    settings.batch_delay = std::chrono::milliseconds(30);
    FakeService service(settings);
    struct Expect {
        std::vector<std::string> arguments;
        std::string out;
    };
    const std::vector<Expect> runs = {
        {{"raw", "f7030000"}, "f703000000000000\n"},
        {{"raw", "ee030000"}, "ee03000002000000\n"},
        {{"raw", "f9030000"}, "f903000000000000\n"},
        {{"raw", "f3030000"}, "e7030000\n"},
    };
    std::vector<ToolRun> results(runs.size() * 2);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] { results[i] = tarnwick(runs[i % runs.size()].arguments); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i].exit_code, 0) << results[i].err;
        EXPECT_EQ(results[i].out, runs[i % runs.size()].out);
    }
}

TEST_F(Cli, TwoWatchersEachSeeEveryMessage) {
    FakeService service;
    // Both watchers start while messages keep coming; each must then see an unbroken run.
    std::atomic<bool> publishing{true};
    std::thread publisher([&] {
        for (int i = 0; publishing; ++i) {
            service.publish(record_message(4, sample_rmc(i)));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const std::vector<std::string> args = {"watch", "--count", "60", "--format", "json"};
    SpawnedProcess first(tarnwick_program(), args);
    SpawnedProcess second(tarnwick_program(), args);
    const std::string first_out = first.read_all();
    const std::string second_out = second.read_all();
    publishing = false;
    publisher.join();
    EXPECT_EQ(first.wait(), 0);
    EXPECT_EQ(second.wait(), 0);
    for (const std::string* out : {&first_out, &second_out}) {
        const std::vector<std::string> lines = lines_of(*out);
        ASSERT_EQ(lines.size(), 60U);
        int previous = -1;
        for (const std::string& line : lines) {
            const auto record = nlohmann::json::parse(line);
            const int n = record["time"]["minute"].get<int>() * 60 +
                          static_cast<int>(record["time"]["second"].get<double>());
            if (previous >= 0) {
                EXPECT_EQ(n, previous + 1);
            }
            previous = n;
        }
    }
}

// The line of the listing that names `name`, or "" when there is none.
std::string listing_line(const std::string& help, const std::string& name) {
    for (const std::string& line : lines_of(help)) {
        if (line.starts_with("  " + name + " ")) {
            return line;
        }
    }
    return {};
}

TEST_F(Cli, HelpListsTheSubcommandsOneLineEachAndEachHasAnExample) {
    const ToolRun help = tarnwick({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("Usage: tarnwick [OPTIONS] SUBCOMMAND"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("Start here:"), std::string::npos) << help.out;
    for (const char* name :
         {"status", "ports", "connect", "connect-port", "disconnect", "open-file", "open-memory",
          "record", "fix", "restart", "receiver", "watch", "raw", "quit", "decode"}) {
        // The name, then its description on the same line.
        const std::string line = listing_line(help.out, name);
        const std::size_t after_name = 2 + std::string(name).size();
        EXPECT_NE(line.find_first_not_of(' ', std::min(after_name, line.size())), std::string::npos)
            << name << "\n"
            << help.out;
        const ToolRun sub = tarnwick({name, "--help"});
        EXPECT_EQ(sub.exit_code, 0) << name;
        EXPECT_NE(sub.out.find("Example"), std::string::npos) << name << "\n" << sub.out;
    }
    for (const std::vector<std::string>& nested : {std::vector<std::string>{"record", "start"},
                                                   {"record", "stop"},
                                                   {"receiver", "get"},
                                                   {"receiver", "set"}}) {
        const ToolRun sub = tarnwick({nested[0], nested[1], "--help"});
        EXPECT_NE(sub.out.find("Example"), std::string::npos) << nested[0] << " " << nested[1];
    }
}

TEST_F(Cli, EveryProgramTellsItsVersion) {
    for (const char* program :
         {"tools/tarnwick/tarnwick", "tools/tarnwick-sim/tarnwick-sim", "server/tarnwickd"}) {
        const std::filesystem::path path = built_program(program);
        const ToolRun run = run_tool(path, {"--version"});
        EXPECT_EQ(run.exit_code, 0) << program;
        EXPECT_EQ(run.out, path.filename().string() + " " TARNWICK_VERSION "\n") << program;
    }
}

TEST_F(Cli, TheServiceAndTheSimulatorTeachToo) {
    const ToolRun service = run_tool(built_program("server/tarnwickd"), {"--help"});
    EXPECT_EQ(service.exit_code, 0);
    for (const char* expected :
         {"systemctl --user", "TARNWICK_HOME", "TARNWICK_DEBUG", "Example"}) {
        EXPECT_NE(service.out.find(expected), std::string::npos) << expected << "\n" << service.out;
    }
    const std::filesystem::path sim = built_program("tools/tarnwick-sim/tarnwick-sim");
    const ToolRun overview = run_tool(sim, {"--help"});
    EXPECT_EQ(overview.exit_code, 0);
    for (const char* mode : {"serial", "memory", "file"}) {
        EXPECT_FALSE(listing_line(overview.out, mode).empty()) << mode << "\n" << overview.out;
        const ToolRun sub = run_tool(sim, {mode, "--help"});
        EXPECT_EQ(sub.exit_code, 0) << mode;
        EXPECT_NE(sub.out.find("Example"), std::string::npos) << mode << "\n" << sub.out;
    }
}

}  // namespace
}  // namespace tarnwick::test
