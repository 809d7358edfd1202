// Named events and mutexes across real processes: wake-ups, abandonment, existence that
// follows live holders, namespaces and permissions.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>
#include <random>
#include <thread>

#include "platform/namespace.h"
#include "platform/win32.h"
#include "tests/platform/namespace_fixture.h"
#include "tests/platform/platform_helper_process.h"

namespace {

using tarnwick::test::PlatformHelper;
using tarnwick::test::write_file;

class NamedObjects : public tarnwick::test::PrivateNamespace {};

TEST_F(NamedObjects, EventSetInOneProcessWakesAWaiterInAnother) {
    PlatformHelper waiter({"wait-event", "GPS::DATAREQUEST", "10000"});
    ASSERT_EQ(waiter.read_line(), "ready");
    HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"GPS::DATAREQUEST");
    ASSERT_NE(event, nullptr);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(waiter.read_line(), "0") << "WAIT_OBJECT_0";
    EXPECT_EQ(waiter.wait(), 0);
    CloseHandle(event);
}

TEST_F(NamedObjects, EventSetByAnotherProcessWakesUsAndCreatorSeesExistence) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"GPS::DATAANSWER");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE again = CreateEventW(nullptr, FALSE, FALSE, L"GPS::DATAANSWER");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    PlatformHelper setter({"set-event", "GPS::DATAANSWER"});
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(setter.wait(), 0);
    EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_TIMEOUT) << "auto-reset: consumed once";
    CloseHandle(again);
    CloseHandle(event);
}

TEST_F(NamedObjects, MutexOfAKilledProcessGoesToTheNextWaiterAsAbandoned) {
    PlatformHelper owner({"hold-mutex", "GPS::EXCHANGEGAURD::in"});
    ASSERT_EQ(owner.read_line(), "ready");
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"GPS::EXCHANGEGAURD::in");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(mutex, 50), WAIT_TIMEOUT);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE both[] = {never, mutex};
    std::thread killer([&] {
        Sleep(100);
        owner.kill(SIGKILL);
        owner.wait();
    });
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10000), WAIT_ABANDONED_0 + 1);
    killer.join();
    EXPECT_TRUE(ReleaseMutex(mutex));
    PlatformHelper next({"wait-mutex", "GPS::EXCHANGEGAURD::in", "5000"});
    EXPECT_EQ(next.read_line(), "ready");
    EXPECT_EQ(next.read_line(), "0") << "released normally: an ordinary hand-over";
    CloseHandle(never);
    CloseHandle(mutex);
}

TEST_F(NamedObjects, ObjectHeldOnlyByAKilledProcessNoLongerExists) {
    {
        PlatformHelper holder({"hold-event", "TARNWICK_START"});
        ASSERT_EQ(holder.read_line(), "ready");
        HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, L"TARNWICK_START");
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        CloseHandle(probe);
        EXPECT_EQ(WaitForSingleObject(probe, 0), WAIT_FAILED);
        holder.kill(SIGKILL);
        holder.wait();
    }
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"TARNWICK_START"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, L"TARNWICK_START");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT) << "a fresh event, not signalled";
    CloseHandle(fresh);
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"TARNWICK_START"), nullptr)
        << "closing the last handle ends the name";
}

TEST_F(NamedObjects, MutexHeldOnlyByAKilledProcessComesBackFree) {
    {
        PlatformHelper holder({"hold-mutex", "lonely"});
        ASSERT_EQ(holder.read_line(), "ready");
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"lonely");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "fresh, not abandoned";
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST_F(NamedObjects, NamespacesAreIsolated) {
    HANDLE here = CreateEventW(nullptr, TRUE, FALSE, L"GPS::DATASTREAM");
    tarnwick::test::TempDir other_home;
    std::string mine = getenv("TARNWICK_HOME");
    setenv("TARNWICK_HOME", other_home.path().c_str(), 1);
    HANDLE there = CreateEventW(nullptr, TRUE, FALSE, L"GPS::DATASTREAM");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "not the same object";
    {
        PlatformHelper setter({"set-event", "GPS::DATASTREAM"});
        EXPECT_EQ(setter.wait(), 0);
    }
    setenv("TARNWICK_HOME", mine.c_str(), 1);
    EXPECT_EQ(WaitForSingleObject(there, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(here, 0), WAIT_TIMEOUT);
    CloseHandle(there);
    CloseHandle(here);
}

TEST_F(NamedObjects, FilesAreAccessibleToTheOwnerOnly) {
    tarnwick::platform::remove_namespace(home());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"GPS::DATAREQUEST");
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"GPS::EXCHANGEGAURD::out");
    ASSERT_NE(event, nullptr);
    ASSERT_NE(mutex, nullptr);
    auto mode = [](const std::filesystem::path& path) {
        struct stat status {};
        EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
        return status.st_mode & 0777;
    };
    EXPECT_EQ(mode(home()), 0700u);
    EXPECT_EQ(mode(home() / "objects"), 0700u);
    EXPECT_EQ(mode(home() / "objects" / "GPS%3A%3ADATAREQUEST.event"), 0600u);
    EXPECT_EQ(mode(home() / "objects" / "GPS%3A%3AEXCHANGEGAURD%3A%3Aout.mutex"), 0600u);
    CloseHandle(event);
    CloseHandle(mutex);
}

TEST_F(NamedObjects, OpenFailsForUnknownNamesAndCreateKeepsTheFirstKind) {
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"nobody"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, L"kind");
    HANDLE opened = CreateEventW(nullptr, FALSE, FALSE, L"kind");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0) << "still the creator's manual reset";
    CloseHandle(opened);
    CloseHandle(manual);
}

TEST_F(NamedObjects, ATruncatedObjectFileOfALiveHolderIsRefused) {
    auto objects = tarnwick::platform::objects_directory();
    write_file(objects / "short.event", "abc");
    int held = open((objects / "short.event").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_SH), 0);  // some live process holds it
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, L"short"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    close(held);
    HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, L"short");
    EXPECT_NE(fresh, nullptr) << "without a holder it is made afresh";
    CloseHandle(fresh);
}

TEST_F(NamedObjects, ProcessesKilledAtRandomMomentsNeverLeaveTheNamespaceStuck) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> pause_us(0, 3000);
    for (int round = 0; round < 30; ++round) {
        {
            PlatformHelper first({"churn"});
            PlatformHelper second({"churn"});
            ASSERT_EQ(first.read_line(), "ready");
            ASSERT_EQ(second.read_line(), "ready");
            usleep(static_cast<useconds_t>(pause_us(random)));
        }  // both killed, wherever they were
        HANDLE start = CreateEventW(nullptr, TRUE, FALSE, L"TARNWICK_START");
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "round " << round << ": a fresh start event";
        EXPECT_EQ(WaitForSingleObject(start, 0), WAIT_TIMEOUT);
        HANDLE guard = CreateMutexW(nullptr, FALSE, L"GPS::EXCHANGEGAURD::in");
        EXPECT_EQ(WaitForSingleObject(guard, 2000), WAIT_OBJECT_0) << "round " << round;
        ReleaseMutex(guard);
        CloseHandle(guard);
        CloseHandle(start);
    }
}

}  // namespace
