// The remembered port in the registry as the data server reads it: at most 6 characters, a
// REG_SZ port and a REG_DWORD rate, anything else counting as none.

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>

#include "platform/win32.h"
#include "server/data_server.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/server/service_session.h"

namespace tarnwick::test {
namespace {

void set_value(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class RememberedPortTest : public PrivateNamespace {};

TEST_F(RememberedPortTest, ReadsOnlyAShortNameAndARate) {
    struct Case {
        const wchar_t* port;  // null: no "port" value
        bool baud_as_dword;
        bool readable;
    };
    const Case cases[] = {
        {L"COM3:", true, true}, {L"COM10:", true, true},  {L"COM100:", true, false},
        {nullptr, true, false}, {L"COM3:", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port != nullptr ? c.port : L"(none)");
        TempDir home;
        setenv("TARNWICK_HOME", home.path().c_str(), 1);
        if (c.port != nullptr) {
            set_value(L"port", REG_SZ, c.port,
                      static_cast<DWORD>((std::wcslen(c.port) + 1) * sizeof(wchar_t)));
        }
        const DWORD baud = 4800;
        if (c.baud_as_dword) {
            set_value(L"baud", REG_DWORD, &baud, sizeof baud);
        } else {
            set_value(L"baud", REG_SZ, L"4800", 5 * sizeof(wchar_t));
        }
        CDataServer server;
        wchar_t name[8] = {};
        std::int32_t read_baud = 0;
        EXPECT_EQ(server.get_last_used_port(name, read_baud), c.readable);
        if (c.readable) {
            EXPECT_STREQ(name, c.port);
            EXPECT_EQ(read_baud, 4800);
        }
    }
}

TEST_F(RememberedPortTest, FailedSetUpChangesNothing) {
    remember_port(L"COM3:", 4800);
    CDataServer server;
    EXPECT_FALSE(server.try_setup_port(L"COM9:", 9600));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    wchar_t name[8] = {};
    std::int32_t baud = 0;
    ASSERT_TRUE(server.get_last_used_port(name, baud));
    EXPECT_STREQ(name, L"COM3:");
    EXPECT_EQ(baud, 4800);
}

}  // namespace
}  // namespace tarnwick::test
