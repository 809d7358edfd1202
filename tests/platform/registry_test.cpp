// The registry: the calls' sizes and errors, the readable file, and whole updates even when
// the writer is killed at random moments.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstring>
#include <random>

#include "platform/namespace.h"
#include "platform/registry_document.h"
#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/platform_helper_process.h"
#include "tests/platform/registry_contents.h"

namespace {

using tarnwick::platform::RegistryDocument;
using tarnwick::test::read_file;
using tarnwick::test::write_file;

class Registry : public tarnwick::test::PrivateNamespace {
  protected:
    HKEY create_key() {
        HKEY key = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
        return key;
    }
};

LSTATUS set_string(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

TEST_F(Registry, ValuesRoundTripWithTheRealCallsSizesAndErrors) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, KEY_QUERY_VALUE, &key),
        ERROR_FILE_NOT_FOUND);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vestrel\\Tarnwick", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(set_string(key, L"path", L"/usr/bin/tarnwickd"), ERROR_SUCCESS);
    DWORD baud = 4800;
    ASSERT_EQ(RegSetValueExW(key, L"baud", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&baud), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    HKEY reopened = create_key();
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"software\\VESTREL\\tarnwick\\", 0, KEY_QUERY_VALUE,
                            &key),
              ERROR_SUCCESS)
        << "key paths are case-insensitive";
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    const DWORD needed = (18 + 1) * sizeof(wchar_t);
    EXPECT_EQ(size, needed) << "the terminating NUL is counted";
    wchar_t small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, L"path", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, needed);
    wchar_t path[64];
    size = sizeof path;
    EXPECT_EQ(RegQueryValueExW(key, L"PATH", nullptr, &type, reinterpret_cast<BYTE*>(path), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(path, L"/usr/bin/tarnwickd");
    EXPECT_EQ(size, needed);
    DWORD read_baud = 0;
    size = sizeof read_baud;
    EXPECT_EQ(
        RegQueryValueExW(key, L"baud", nullptr, &type, reinterpret_cast<BYTE*>(&read_baud), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(read_baud, 4800u);
    EXPECT_EQ(RegQueryValueExW(key, L"port", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(key, L"baud"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"baud"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(nullptr, L"path", nullptr, &type, nullptr, &size),
              ERROR_INVALID_HANDLE);
    RegCloseKey(key);
    RegCloseKey(reopened);
}

TEST_F(Registry, FileIsReadableAndHandEditsAreHonoured) {
    HKEY key = create_key();
    set_string(key, L"port", L"COM3:");
    DWORD baud = 0x1200;
    RegSetValueExW(key, L"baud", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&baud), 4);
    std::string text = read_file(tarnwick::platform::registry_path());
    EXPECT_EQ(text,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software\\Vestrel\\Tarnwick]\n"
              "\"port\"=\"COM3:\"\n"
              "\"baud\"=dword:00001200\n");
    write_file(tarnwick::platform::registry_path(),
               "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\Vestrel\\Tarnwick]\r\n"
               "; a comment\r\n"
               "\"port\" = \"COM5:\"\r\n"
               "garbage line\r\n"
               "\"quote\"=\"say \\\"hi\\\" \\\\ there\"\r\n");
    wchar_t port[16];
    DWORD size = sizeof port;
    EXPECT_EQ(
        RegQueryValueExW(key, L"port", nullptr, nullptr, reinterpret_cast<BYTE*>(port), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(port, L"COM5:");
    wchar_t quote[32];
    size = sizeof quote;
    EXPECT_EQ(
        RegQueryValueExW(key, L"quote", nullptr, nullptr, reinterpret_cast<BYTE*>(quote), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(quote, L"say \"hi\" \\ there");
    EXPECT_EQ(RegQueryValueExW(key, L"baud", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

// Storing a value exactly as it stands leaves the file alone (the service stores its path at
// every start); a change of its data or of its type rewrites it.
TEST_F(Registry, AValueStoredAgainUnchangedLeavesTheFileAlone) {
    HKEY key = create_key();
    const auto file = tarnwick::platform::registry_path();
    const auto inode = [&file] {
        struct stat status {};
        EXPECT_EQ(stat(file.c_str(), &status), 0);
        return status.st_ino;
    };
    const auto store = [key](DWORD type, DWORD number) {
        return RegSetValueExW(key, L"value", 0, type, reinterpret_cast<const BYTE*>(&number), 4);
    };
    ASSERT_EQ(store(REG_DWORD, 4800), ERROR_SUCCESS);
    auto stored_in = inode();
    ASSERT_EQ(store(REG_DWORD, 4800), ERROR_SUCCESS);
    EXPECT_EQ(inode(), stored_in) << "an unchanged value rewrote the file";

    ASSERT_EQ(store(REG_DWORD, 7), ERROR_SUCCESS);
    EXPECT_NE(inode(), stored_in) << "changed data was not stored";
    stored_in = inode();
    ASSERT_EQ(store(REG_BINARY, 7), ERROR_SUCCESS);
    EXPECT_NE(inode(), stored_in) << "a changed type was not stored";
    EXPECT_NE(read_file(file).find("\"value\"=hex:07,00,00,00"), std::string::npos);
    RegCloseKey(key);
}

TEST(RegistryDocumentText, UnusualDataSurvivesTheTextForm) {
    struct Case {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::wstring unterminated = L"no terminator";
    std::wstring with_newline = L"two\nlines";
    auto bytes_of = [](const std::wstring& text, bool terminator) {
        const BYTE* start = reinterpret_cast<const BYTE*>(text.c_str());
        return std::vector<BYTE>(start,
                                 start + (text.size() + (terminator ? 1 : 0)) * sizeof(wchar_t));
    };
    const Case cases[] = {
        {"string without terminator", REG_SZ, bytes_of(unterminated, false)},
        {"string with a control character", REG_SZ, bytes_of(with_newline, true)},
        {"odd-sized string", REG_SZ, {0x41, 0x00, 0x00}},
        {"empty string data", REG_SZ, {}},
        {"short dword", REG_DWORD, {1, 2}},
        {"binary", REG_BINARY, {0, 1, 254, 255}},
        {"other type", 7, {9, 9}},
        {"unicode", REG_SZ, bytes_of(L"Zürich \U0001F6F0", true)},
    };
    for (const Case& c : cases) {
        RegistryDocument document;
        document.set_value(L"HKEY_CURRENT_USER\\K", {L"v", c.type, c.data});
        std::string text = document.format();
        RegistryDocument parsed = RegistryDocument::parse(text);
        const auto* value = parsed.find_value(L"HKEY_CURRENT_USER\\k", L"V");
        ASSERT_NE(value, nullptr) << c.what;
        EXPECT_EQ(value->type, c.type) << c.what;
        EXPECT_EQ(value->data, c.data) << c.what;
        EXPECT_EQ(parsed.format(), text) << c.what;
    }
}

TEST_F(Registry, AWriterKilledAtRandomMomentsNeverLeavesATornFile) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pause_us(0, 20000);
    for (int round = 0; round < 25; ++round) {
        tarnwick::test::PlatformHelper writer({"registry-writer"});
        ASSERT_EQ(writer.read_line(), "ready");
        usleep(static_cast<useconds_t>(pause_us(random)));
        writer.kill(SIGKILL);
        writer.wait();

        std::string text = read_file(tarnwick::platform::registry_path());
        EXPECT_EQ(RegistryDocument::parse(text).format(), text) << "round " << round;
        HKEY key = create_key();
        std::wstring value(40000, L'\0');
        DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        ASSERT_EQ(RegQueryValueExW(key, L"blob", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(value.data()), &size),
                  ERROR_SUCCESS);
        value.resize(size / sizeof(wchar_t) - 1);
        EXPECT_TRUE(value == tarnwick::test::registry_blob_a() ||
                    value == tarnwick::test::registry_blob_b())
            << "round " << round;
        RegCloseKey(key);
    }
    EXPECT_TRUE(tarnwick::test::write_registry_blob(L"after")) << "no lock was left behind";
}

}  // namespace
