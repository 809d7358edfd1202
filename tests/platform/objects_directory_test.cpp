// Where the files of named objects live: a link from the home to a private directory on a memory
// file system, mended after a reboot emptied it, agreed on by racing processes, and a plain
// directory where no memory file system can be written.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/namespace.h"
#include "platform/test_seams.h"
#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/platform_helper_process.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;
using platform::objects_directory;

unsigned mode_of(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

std::vector<fs::path> entries_of(const fs::path& dir) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        found.push_back(entry.path());
    }
    return found;
}

// A namespace whose memory file systems are test directories: XDG_RUNTIME_DIR and the stand-in
// for /dev/shm.
class ObjectsDirectory : public PrivateNamespace {
  protected:
    void SetUp() override {
        PrivateNamespace::SetUp();
        if (const char* runtime = getenv("XDG_RUNTIME_DIR"); runtime != nullptr) {
            saved_runtime_ = runtime;
        }
        setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        platform::testing::replace_dev_shm(shm_.path());
    }
    void TearDown() override {
        platform::testing::clear_seams();
        if (saved_runtime_) {
            setenv("XDG_RUNTIME_DIR", saved_runtime_->c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
        PrivateNamespace::TearDown();
    }
    fs::path link() const { return home() / "objects"; }
    // Creates an event and tells whether its file appeared in `dir`.
    static bool event_lives_in(const fs::path& dir) {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"GPS::DATASTREAM");
        EXPECT_NE(event, nullptr);
        const bool there = fs::exists(dir / "GPS%3A%3ADATASTREAM.event");
        CloseHandle(event);
        return there;
    }

    TempDir runtime_;
    TempDir shm_;
    std::optional<std::string> saved_runtime_;
};

TEST_F(ObjectsDirectory, LinksToAPrivateDirectoryOnTheFirstWritableMemoryFileSystem) {
    struct Case {
        const char* what;
        std::optional<std::string> runtime;  // XDG_RUNTIME_DIR; nothing: unset
        bool expect_runtime;
    };
    const Case cases[] = {
        {"the runtime directory first", runtime_.path().string(), true},
        {"/dev/shm when the runtime directory is missing", "/nonexistent/run", false},
        {"/dev/shm when the runtime directory is no absolute path", "run/user", false},
        {"/dev/shm without a runtime directory", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::remove_namespace(home());
        if (c.runtime) {
            setenv("XDG_RUNTIME_DIR", c.runtime->c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
        EXPECT_EQ(objects_directory(), link());
        ASSERT_TRUE(fs::is_symlink(link()));
        const fs::path target = fs::read_symlink(link());
        EXPECT_EQ(target.parent_path(), c.expect_runtime ? runtime_.path() : shm_.path());
        EXPECT_TRUE(target.filename().string().starts_with("tarnwick-objects-")) << target;
        EXPECT_EQ(mode_of(target), 0700u);
        EXPECT_TRUE(event_lives_in(target));
    }
}

TEST_F(ObjectsDirectory, WithoutAMemoryFileSystemItIsAPlainDirectoryInTheHome) {
    unsetenv("XDG_RUNTIME_DIR");
    platform::testing::replace_dev_shm("/nonexistent/shm");
    EXPECT_EQ(objects_directory(), link());
    EXPECT_FALSE(fs::is_symlink(link()));
    EXPECT_EQ(mode_of(link()), 0700u);
    EXPECT_TRUE(event_lives_in(link()));
}

TEST_F(ObjectsDirectory, AnExistingPlainDirectoryIsKept) {
    fs::create_directory(link());
    EXPECT_TRUE(event_lives_in(link()));
    EXPECT_FALSE(fs::is_symlink(link()));
    EXPECT_TRUE(entries_of(runtime_.path()).empty());
}

TEST_F(ObjectsDirectory, ALinkWhoseDirectoryVanishedIsMadeAgain) {
    objects_directory();
    const fs::path before = fs::read_symlink(link());
    HANDLE survivor = CreateEventW(nullptr, TRUE, FALSE, L"TARNWICK_START");
    ASSERT_NE(survivor, nullptr);
    CloseHandle(survivor);
    fs::remove_all(before);  // what a reboot does to a memory file system

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"TARNWICK_START");
    ASSERT_NE(event, nullptr) << "named objects work at once again";
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    ASSERT_TRUE(fs::is_directory(link()));
    const fs::path after = fs::read_symlink(link());
    EXPECT_NE(after, before);
    EXPECT_EQ(mode_of(after), 0700u);
    EXPECT_TRUE(fs::exists(after / "TARNWICK_START.event"));
    EXPECT_EQ(entries_of(runtime_.path()), std::vector<fs::path>{after});
    CloseHandle(event);
}

TEST_F(ObjectsDirectory, RacingProcessesAgreeOnOneDirectory) {
    constexpr int rounds = 8;
    constexpr int racers = 3;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round % 2 == 1) {
            // Odd rounds race to mend a link whose directory is gone.
            ASSERT_EQ(objects_directory(), link());
            fs::remove_all(fs::read_symlink(link()));
        } else {
            platform::remove_namespace(home());
        }
        const fs::path gate =
            runtime_.path().parent_path() / (runtime_.path().filename().string() + ".gate");
        ASSERT_EQ(mkfifo(gate.c_str(), 0600), 0);
        std::vector<std::unique_ptr<PlatformHelper>> helpers;
        for (int i = 0; i < racers; ++i) {
            helpers.push_back(
                std::make_unique<PlatformHelper>(std::vector<std::string>{"objects-dir", gate}));
            ASSERT_EQ(helpers.back()->read_line(), "ready");
        }
        // Opening the FIFO for writing releases every helper at once; it stays open until all
        // have answered, so that none can miss it.
        const int released = open(gate.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(released, 0);
        std::set<std::string> answers;
        for (auto& helper : helpers) {
            answers.insert(helper->read_line());
            EXPECT_EQ(helper->wait(), 0);
        }
        close(released);
        unlink(gate.c_str());
        ASSERT_EQ(answers.size(), 1u) << "every racer uses the same directory";
        const fs::path target = fs::read_symlink(link());
        EXPECT_EQ(*answers.begin(), fs::canonical(target).string());
        EXPECT_EQ(entries_of(runtime_.path()), std::vector<fs::path>{target})
            << "no racer left a directory of its own behind";
    }
}

TEST_F(ObjectsDirectory, RemovingTheNamespaceRemovesTheLinkedDirectory) {
    objects_directory();
    const fs::path target = fs::read_symlink(link());
    ASSERT_TRUE(event_lives_in(target));
    platform::remove_namespace(home());
    EXPECT_FALSE(fs::exists(home()));
    EXPECT_FALSE(fs::exists(target));
}

}  // namespace
}  // namespace tarnwick::test
