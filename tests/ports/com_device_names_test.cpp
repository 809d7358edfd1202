// The choice of serial ports from a device list.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ports/com_device_names.h"

namespace {

// A device list as the platform hands it over: names, each NUL-terminated, then an empty name.
std::wstring device_list(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names) {
        list += name;
        list += L'\0';
    }
    list += L'\0';
    return list;
}

TEST(ComDeviceNames, TakesOnlyComNamesInListOrder) {
    struct Case {
        const char* what;
        std::vector<std::wstring> devices;
        std::vector<std::wstring> ports;
    };
    const Case cases[] = {
        {"two ports among other devices",
         {L"TEL1:", L"COM2:", L"GPD0:", L"COM1:", L"NDS0:"},
         {L"COM2:", L"COM1:"}},
        {"the prefix is case-sensitive", {L"com3:", L"Com4:", L"cOM5:", L"COM6:"}, {L"COM6:"}},
        {"long names are kept whole here",
         {L"COM12:", L"COMMUNICATOR"},
         {L"COM12:", L"COMMUNICATOR"}},
        {"names that only contain COM", {L"XCOM1:", L"CO", L"C"}, {}},
        {"no devices", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring list = device_list(c.devices);
        EXPECT_EQ(com_device_names(list.data(), list.size()), c.ports);
    }
}

TEST(ComDeviceNames, NeverReadsBeyondTheGivenLength) {
    // No empty name at the end, and the last name is cut by the length: only whole names count.
    const std::wstring list = std::wstring(L"COM1:\0COM2:", 11);
    EXPECT_EQ(com_device_names(list.data(), list.size()), std::vector<std::wstring>{L"COM1:"});
    EXPECT_EQ(com_device_names(list.data(), 3), std::vector<std::wstring>{});
    EXPECT_EQ(com_device_names(list.data(), 0), std::vector<std::wstring>{});
    EXPECT_EQ(com_device_names(nullptr, 40), std::vector<std::wstring>{});
}

}  // namespace
