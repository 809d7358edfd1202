// The port map: binding names, the readable file, device discovery, and whole updates even
// when the writer is killed.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <random>

#include "platform/namespace.h"
#include "platform/port_map.h"
#include "platform/port_names.h"
#include "platform/serial_discovery.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/platform_helper_process.h"

namespace {

using namespace tarnwick::platform;
using tarnwick::test::read_file;
using tarnwick::test::write_file;

class PortMap : public tarnwick::test::PrivateNamespace {};

TEST(PortNames, OnlyComNamesWithANumberCount) {
    EXPECT_EQ(com_port_number(L"COM3:"), 3u);
    EXPECT_EQ(com_port_number(L"com12"), 12u);
    EXPECT_EQ(com_port_number(L"\\\\.\\COM4"), 4u);
    for (const wchar_t* bad : {L"COM", L"COM0:", L"COM3x", L"LPT1:", L"COM-1", L"COM1234567"}) {
        EXPECT_FALSE(com_port_number(bad)) << bad;
    }
    EXPECT_EQ(com_port_name(9), L"COM9:");
}

TEST_F(PortMap, BindingsRoundTripThroughAReadableFile) {
    EXPECT_TRUE(bind_port(L"COM3:", "/dev/pts/7"));
    EXPECT_TRUE(bind_port(L"com1", "/dev/ttyUSB0"));
    EXPECT_TRUE(bind_port(L"COM3:", "/dev/pts/9"));
    EXPECT_FALSE(bind_port(L"PORT", "/dev/pts/9"));
    EXPECT_FALSE(bind_port(L"COM2:", "bad\npath"));
    std::string text = read_file(port_map_path());
    EXPECT_NE(text.find("COM1: = /dev/ttyUSB0\nCOM3: = /dev/pts/9\n"), std::string::npos) << text;
    EXPECT_EQ(read_port_map(), (PortTable{{1, {"/dev/ttyUSB0"}}, {3, {"/dev/pts/9"}}}));
    EXPECT_TRUE(unbind_port(L"COM1:"));
    EXPECT_FALSE(unbind_port(L"COM1:"));
    EXPECT_EQ(read_port_map(), (PortTable{{3, {"/dev/pts/9"}}}));
}

TEST_F(PortMap, HandEditedLinesAreReadAndNonsenseIsSkipped) {
    write_file(port_map_path(),
               "# mine\n"
               "  COM2:=/dev/ttyAMA0   # the on-board UART\n"
               "COM9 = /dev/rfcomm0\n"
               "nonsense\n"
               "COMX: = /dev/null\n"
               "COM4: =\n");
    EXPECT_EQ(read_port_map(), (PortTable{{2, {"/dev/ttyAMA0"}}, {9, {"/dev/rfcomm0"}}}));
}

TEST_F(PortMap, AProcessThatKeepsTheDeviceOpenIsMarkedInAComment) {
    EXPECT_TRUE(bind_port(L"COM7:", "/dev/pts/4", 4242));
    EXPECT_TRUE(bind_port(L"COM8:", "/dev/ttyUSB0"));
    const std::string text = read_file(port_map_path());
    EXPECT_NE(text.find("COM7: = /dev/pts/4  # kept open by pid 4242\nCOM8: = /dev/ttyUSB0\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(read_port_map(), (PortTable{{7, {"/dev/pts/4", 4242}}, {8, {"/dev/ttyUSB0"}}}));
    EXPECT_EQ(format_port_map(parse_port_map(text)), text);

    // Only the exact marker counts: other comments mark nothing.
    write_file(port_map_path(),
               "COM1: = /dev/pts/1 # kept open by pid 17 (tarnwick-sim)\n"
               "COM2: = /dev/pts/2 # kept open by pidgin 17\n"
               "COM3: = /dev/pts/3 # kept open by pid 17x\n"
               "COM4: = /dev/pts/4 # was kept open by pid 17\n"
               "COM5: = /dev/pts/5 # kept open by pid 0\n");
    EXPECT_EQ(read_port_map(), (PortTable{{1, {"/dev/pts/1", 17}},
                                          {2, {"/dev/pts/2"}},
                                          {3, {"/dev/pts/3"}},
                                          {4, {"/dev/pts/4"}},
                                          {5, {"/dev/pts/5"}}}));
}

TEST_F(PortMap, DiscoveredDevicesFillTheNumbersTheMapLeavesFree) {
    PortTable bindings{{1, {"/dev/pts/3"}}, {3, {"/dev/ttyUSB1"}}};
    std::vector<std::string> discovered{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0",
                                        "/dev/ttyS0"};
    EXPECT_EQ(resolve_ports(bindings, discovered), (PortTable{{1, {"/dev/pts/3"}},
                                                              {2, {"/dev/ttyUSB0"}},
                                                              {3, {"/dev/ttyUSB1"}},
                                                              {4, {"/dev/ttyACM0"}},
                                                              {5, {"/dev/ttyS0"}}}));
    bind_port(L"COM1:", "/dev/pts/3");
    bind_port(L"COM2:", "/dev/pts/4");
    std::wstring free_name = first_free_port_name();
    auto number = com_port_number(free_name);
    ASSERT_TRUE(number);
    EXPECT_GE(*number, 3u);
    EXPECT_EQ(current_ports().count(*number), 0u);
}

TEST_F(PortMap, DiscoveryKeepsRealSerialDevicesInAStableOrder) {
    auto sysfs = home() / "sys";
    auto dev = home() / "dev";
    std::filesystem::create_directories(dev);
    auto add = [&](const char* name, bool device, int type) {
        std::filesystem::create_directories(sysfs / name);
        if (device) {
            std::filesystem::create_directories(sysfs / name / "device");
        }
        if (type >= 0) {
            std::ofstream(sysfs / name / "type") << type << "\n";
        }
        std::ofstream(dev / name) << "";
    };
    add("tty1", false, -1);  // a virtual terminal
    add("ttyS10", true, 4);  // a real UART
    add("ttyS2", true, 4);
    add("ttyS3", true, 0);  // a placeholder without hardware
    add("ttyACM0", true, -1);
    add("ttyUSB1", true, -1);
    add("ttyUSB0", true, -1);
    std::filesystem::create_directories(sysfs / "ttyUSB9" / "device");  // no node in /dev
    auto found = discover_serial_devices(sysfs, dev);
    std::vector<std::string> expected;
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS2", "ttyS10"}) {
        expected.push_back((dev / name).string());
    }
    EXPECT_EQ(found, expected);
}

TEST_F(PortMap, AWriterKilledAtRandomMomentsNeverLeavesATornFile) {
    std::mt19937 random(777);
    std::uniform_int_distribution<int> pause_us(0, 5000);
    for (int round = 0; round < 25; ++round) {
        tarnwick::test::PlatformHelper writer({"port-map-writer"});
        ASSERT_EQ(writer.read_line(), "ready");
        usleep(static_cast<useconds_t>(pause_us(random)));
        writer.kill(SIGKILL);
        writer.wait();
        std::string text = read_file(port_map_path());
        EXPECT_EQ(format_port_map(parse_port_map(text)), text) << "round " << round;
        std::string device = read_port_map()[7].device;
        EXPECT_TRUE(device == "/dev/first-device-path" || device == "/dev/second-device-path")
            << device;
    }
    EXPECT_TRUE(bind_port(L"COM7:", "/dev/after"));
}

}  // namespace
