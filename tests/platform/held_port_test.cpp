// Serial devices that other programs hold: refused with ERROR_SHARING_VIOLATION before any
// setting changes, however they are held; the simulator's marker; our own lock file and
// exclusive mode; the settings a closed port gets back.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/namespace.h"
#include "platform/port_holders.h"
#include "platform/uucp_lock.h"
#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/pseudo_terminal.h"
#include "tests/support/tty_holder.h"

namespace {

using namespace tarnwick;
using namespace std::chrono_literals;
using test::line_settings;
using test::same_settings;
using test::TtyHolder;

class HeldPorts : public test::PrivateNamespace {
  protected:
    void SetUp() override {
        PrivateNamespace::SetUp();
        locks_ = home() / "locks";
        std::filesystem::create_directories(locks_);
        if (const char* suite_locks = getenv("TARNWICK_LOCK_DIR")) {
            suite_locks_ = suite_locks;
        }
        setenv("TARNWICK_LOCK_DIR", locks_.c_str(), 1);
        ASSERT_TRUE(platform::bind_port(L"COM5:", pty_.slave_path()));
    }
    void TearDown() override {
        if (suite_locks_.empty()) {
            unsetenv("TARNWICK_LOCK_DIR");
        } else {
            setenv("TARNWICK_LOCK_DIR", suite_locks_.c_str(), 1);
        }
        PrivateNamespace::TearDown();
    }
    static HANDLE open_port() {
        return CreateFileW(L"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    }
    // Opens COM5: and closes it again; the error of a refused open otherwise.
    static DWORD try_open() {
        const HANDLE port = open_port();
        if (port == INVALID_HANDLE_VALUE) {
            return GetLastError();
        }
        CloseHandle(port);
        return ERROR_SUCCESS;
    }
    std::filesystem::path lock_file() const {
        return locks_ / ("LCK.." + pty_.slave_path().substr(5).replace(3, 1, "_"));
    }
    static void write_lock(const std::filesystem::path& file, pid_t pid) {
        char text[16];
        std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
        test::write_file(file, text);
    }

    test::PseudoTerminal pty_;
    std::filesystem::path locks_;
    std::string suite_locks_;
};

TEST_F(HeldPorts, APortAnotherProgramKeepsOpenIsRefusedWithItsSettingsUntouched) {
    const TtyHolder holder(pty_.slave_path());
    const termios before = line_settings(pty_.slave_path());
    ASSERT_EQ(cfgetospeed(&before), B9600);
    ASSERT_NE(before.c_lflag & (ICANON | ECHO), 0u);

    EXPECT_EQ(open_port(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(same_settings(line_settings(pty_.slave_path()), before));
    EXPECT_FALSE(std::filesystem::exists(lock_file())) << "no lock for a port we refused";

    const auto found = platform::find_port_holder(L"COM5:");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pid, holder.pid());
    EXPECT_EQ(platform::describe_holder(*found),
              std::string(TtyHolder::program) + ", pid " + std::to_string(holder.pid()));
}

TEST_F(HeldPorts, EveryWayOfHoldingAPortIsSeen) {
    struct Case {
        const char* how;
        TtyHolder::Way way;
        bool lock_of_live_process;
    };
    for (const Case& c :
         {Case{"a descriptor kept open", TtyHolder::Way::open, false},
          Case{"a controlling terminal without descriptors", TtyHolder::Way::session, false},
          Case{"a lock file of a live process", TtyHolder::Way::open, true}}) {
        SCOPED_TRACE(c.how);
        std::optional<TtyHolder> holder;
        if (c.lock_of_live_process) {
            write_lock(lock_file(), 1);  // init is always alive
        } else {
            holder.emplace(pty_.slave_path(), c.way);
        }
        EXPECT_EQ(try_open(), ERROR_SHARING_VIOLATION);
        const auto found = platform::find_port_holder(L"COM5:");
        ASSERT_TRUE(found);
        EXPECT_EQ(found->pid, holder ? holder->pid() : 1);
        holder.reset();
        std::filesystem::remove(lock_file());
        EXPECT_TRUE(test::eventually([] { return try_open() == ERROR_SUCCESS; }, 5s))
            << "free again once the holder has gone";
    }
}

TEST_F(HeldPorts, AStaleLockIsTakenOverAndOurOwnLastsWhileThePortIsOpen) {
    const pid_t gone = fork();
    if (gone == 0) {
        _exit(0);
    }
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    write_lock(lock_file(), gone);
    // Our own descriptor, taken before the port is opened (it puts the line in exclusive mode).
    const int peek = open(pty_.slave_path().c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(peek, 0);

    const HANDLE port = open_port();
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    char expected[16];
    std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(getpid()));
    EXPECT_EQ(test::read_file(lock_file()), expected);
    const struct stat lock_status = [&] {
        struct stat status {};
        stat(lock_file().c_str(), &status);
        return status;
    }();
    EXPECT_EQ(lock_status.st_mode & 0777, 0644u) << "other programs must be able to read it";
    // Exclusive mode: later opens by programs without root's privilege fail with EBUSY.
    int exclusive = 0;
    ASSERT_EQ(ioctl(peek, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    CloseHandle(port);
    EXPECT_FALSE(std::filesystem::exists(lock_file()));
    ASSERT_EQ(ioctl(peek, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    close(peek);
}

TEST_F(HeldPorts, APortOpensWithoutALockWhereTheLockDirectoryIsMissing) {
    setenv("TARNWICK_LOCK_DIR", (home() / "no-such-directory").c_str(), 1);
    EXPECT_EQ(try_open(), ERROR_SUCCESS);
}

TEST_F(HeldPorts, OnlyTheProcessTheBindingNamesMayKeepThePortOpen) {
    const TtyHolder keeper(pty_.slave_path());
    ASSERT_TRUE(platform::bind_port(L"COM5:", pty_.slave_path(), keeper.pid()));
    EXPECT_EQ(try_open(), ERROR_SUCCESS);
    {
        const TtyHolder other(pty_.slave_path());
        EXPECT_EQ(try_open(), ERROR_SHARING_VIOLATION);
    }
    // A marker naming some other process does not let the real holder through.
    ASSERT_TRUE(platform::bind_port(L"COM5:", pty_.slave_path(), getppid()));
    EXPECT_EQ(try_open(), ERROR_SHARING_VIOLATION);
}

TEST_F(HeldPorts, TheKernelConsoleIsSeenThroughSysfs) {
    struct stat slave {};
    ASSERT_EQ(stat(pty_.slave_path().c_str(), &slave), 0);
    platform::HolderSources sources{home() / "proc", home() / "sys"};
    std::filesystem::create_directories(sources.proc);
    std::filesystem::create_directories(sources.sysfs_tty / "console");
    std::filesystem::create_directories(sources.sysfs_tty / "ttyS0");
    std::ofstream(sources.sysfs_tty / "ttyS0" / "dev")
        << major(slave.st_rdev) << ":" << minor(slave.st_rdev) << "\n";
    std::ofstream(sources.sysfs_tty / "console" / "active") << "tty0\n";
    EXPECT_FALSE(platform::find_device_holder(slave.st_rdev, pty_.slave_path(), 0, sources));
    std::ofstream(sources.sysfs_tty / "console" / "active") << "tty0 ttyS0\n";
    const auto console = platform::find_device_holder(slave.st_rdev, pty_.slave_path(), 0, sources);
    ASSERT_TRUE(console);
    EXPECT_EQ(platform::describe_holder(*console), "the kernel console");
    EXPECT_TRUE(platform::find_device_holder(makedev(5, 1), "/dev/console", 0, sources));
}

// A process that exits while it is looked at makes reads of its files fail (ESRCH); folders in
// place of the files fail the same way (EISDIR) and must read as a process that holds nothing.
TEST_F(HeldPorts, FilesOfAProcessThatCannotBeReadCountAsNoHolder) {
    struct stat slave {};
    ASSERT_EQ(stat(pty_.slave_path().c_str(), &slave), 0);
    platform::HolderSources sources{home() / "proc", home() / "sys"};
    for (const char* file : {"stat", "comm", "fd"}) {
        std::filesystem::create_directories(sources.proc / "4242" / file);
    }
    std::filesystem::create_directories(sources.sysfs_tty / "console" / "active");
    EXPECT_FALSE(platform::find_device_holder(slave.st_rdev, pty_.slave_path(), 0, sources));
}

TEST_F(HeldPorts, AClosedPortGetsBackTheSettingsItHadWhenOpened) {
    const termios before = [&] {
        const TtyHolder holder(pty_.slave_path());  // canonical, echo, 9600; gone at once
        return line_settings(pty_.slave_path());
    }();
    const HANDLE port = open_port();
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = 57600;
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_FALSE(same_settings(line_settings(pty_.slave_path()), before));
    CloseHandle(port);
    EXPECT_TRUE(same_settings(line_settings(pty_.slave_path()), before));
}

}  // namespace
