// The other process of the cross-process platform tests. One command per run:
//   hold-event NAME        create a manual-reset event, print "ready", sleep until killed
//   set-event NAME         open the event and set it; exit 0 when both worked
//   wait-event NAME MS     create an auto-reset event, print "ready", wait, print the result
//   hold-mutex NAME        create a mutex owned by this thread, print "ready", sleep
//   wait-mutex NAME MS     create the mutex, wait, print the result
//   write-mapping NAME TEXT  open the named mapping and write TEXT at its start
//   hold-mapping NAME TEXT   create a 4096-byte mapping, write TEXT, print "ready", sleep
//   registry-writer          rewrite the registry value "blob" with two alternating contents
//   port-map-writer          rebind COM7: alternately to two device paths
//   churn                    create, use and close the service's objects in a loop
//   advance-counter NAME N   open the named mapping and advance the counter at its start N
//                            times, 10 ms apart
//   objects-dir FIFO         print "ready", wait until FIFO is opened for writing, then find
//                            (or make) the objects directory, create an event in it and print
//                            the directory's real path
// Results are printed as decimal numbers, one per line.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/utf8.h"
#include "platform/counter_wait.h"
#include "platform/namespace.h"
#include "platform/win32.h"
#include "tests/platform/registry_contents.h"

namespace {

std::wstring wide(const char* text) {
    return tarnwick::from_utf8(text);
}

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void say_number(unsigned long value) {
    std::printf("%lu\n", value);
    std::fflush(stdout);
}

[[noreturn]] void sleep_until_killed() {
    for (;;) {
        Sleep(INFINITE);
    }
}

int hold_event(const char* name) {
    if (CreateEventW(nullptr, TRUE, FALSE, wide(name).c_str()) == nullptr) {
        return 2;
    }
    say("ready");
    sleep_until_killed();
}

int set_event(const char* name) {
    HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, wide(name).c_str());
    if (event == nullptr || !SetEvent(event)) {
        return 2;
    }
    CloseHandle(event);
    return 0;
}

int wait_event(const char* name, const char* milliseconds) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, wide(name).c_str());
    if (event == nullptr) {
        return 2;
    }
    say("ready");
    say_number(
        WaitForSingleObject(event, static_cast<DWORD>(std::strtoul(milliseconds, nullptr, 10))));
    CloseHandle(event);
    return 0;
}

int hold_mutex(const char* name) {
    if (CreateMutexW(nullptr, TRUE, wide(name).c_str()) == nullptr) {
        return 2;
    }
    say("ready");
    sleep_until_killed();
}

int wait_mutex(const char* name, const char* milliseconds) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, wide(name).c_str());
    if (mutex == nullptr) {
        return 2;
    }
    say("ready");
    DWORD result =
        WaitForSingleObject(mutex, static_cast<DWORD>(std::strtoul(milliseconds, nullptr, 10)));
    say_number(result);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
    return 0;
}

bool write_text(HANDLE mapping, const char* text) {
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) {
        return false;
    }
    std::memcpy(view, text, std::strlen(text));
    return UnmapViewOfFile(view) != FALSE;
}

int write_mapping(const char* name, const char* text) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, wide(name).c_str());
    if (mapping == nullptr || !write_text(mapping, text)) {
        return 2;
    }
    CloseHandle(mapping);
    return 0;
}

int hold_mapping(const char* name, const char* text) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                        wide(name).c_str());
    if (mapping == nullptr || !write_text(mapping, text)) {
        return 2;
    }
    say("ready");
    sleep_until_killed();
}

int registry_writer() {
    using namespace tarnwick::test;
    for (unsigned long round = 0;; ++round) {
        if (!write_registry_blob(round % 2 == 0 ? registry_blob_a() : registry_blob_b())) {
            return 2;
        }
        if (round == 0) {
            say("ready");
        }
    }
}

int port_map_writer() {
    for (unsigned long round = 0;; ++round) {
        const char* device = round % 2 == 0 ? "/dev/first-device-path" : "/dev/second-device-path";
        if (!tarnwick::platform::bind_port(L"COM7:", device)) {
            return 2;
        }
        if (round == 0) {
            say("ready");
        }
    }
}

int churn() {
    for (unsigned long round = 0;; ++round) {
        HANDLE start = CreateEventW(nullptr, TRUE, FALSE, L"TARNWICK_START");
        HANDLE guard = CreateMutexW(nullptr, FALSE, L"GPS::EXCHANGEGAURD::in");
        HANDLE channel = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 32768,
                                            L"GPS::EXCHANGE::in");
        if (start == nullptr || guard == nullptr || channel == nullptr) {
            return 2;
        }
        DWORD taken = WaitForSingleObject(guard, INFINITE);
        if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
            return 3;
        }
        void* view = MapViewOfFile(channel, FILE_MAP_WRITE, 0, 0, 0);
        if (view != nullptr) {
            static_cast<unsigned char*>(view)[round % 32768] = 1;
            UnmapViewOfFile(view);
        }
        SetEvent(start);
        ReleaseMutex(guard);
        CloseHandle(channel);
        CloseHandle(guard);
        CloseHandle(start);
        if (round == 0) {
            say("ready");
        }
    }
}

int advance_counter(const char* name, const char* times) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, wide(name).c_str());
    void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    if (view == nullptr) {
        return 2;
    }
    for (int i = std::atoi(times); i > 0; --i) {
        Sleep(10);
        tarnwick::platform::advance_counter(tarnwick::platform::shared_counter_at(view));
    }
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    return 0;
}

int objects_dir(const char* fifo) {
    say("ready");
    // Every helper blocks here until the test opens the FIFO, which releases them all at once.
    const int gate = open(fifo, O_RDONLY | O_CLOEXEC);
    if (gate < 0) {
        return 2;
    }
    close(gate);
    const std::filesystem::path objects = tarnwick::platform::objects_directory();
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"raced");
    if (event == nullptr) {
        return 3;
    }
    std::error_code ec;
    say(std::filesystem::canonical(objects, ec).c_str());
    CloseHandle(event);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "hold-event" && argc == 3) {
        return hold_event(argv[2]);
    }
    if (command == "set-event" && argc == 3) {
        return set_event(argv[2]);
    }
    if (command == "wait-event" && argc == 4) {
        return wait_event(argv[2], argv[3]);
    }
    if (command == "hold-mutex" && argc == 3) {
        return hold_mutex(argv[2]);
    }
    if (command == "wait-mutex" && argc == 4) {
        return wait_mutex(argv[2], argv[3]);
    }
    if (command == "write-mapping" && argc == 4) {
        return write_mapping(argv[2], argv[3]);
    }
    if (command == "hold-mapping" && argc == 4) {
        return hold_mapping(argv[2], argv[3]);
    }
    if (command == "registry-writer") {
        return registry_writer();
    }
    if (command == "port-map-writer") {
        return port_map_writer();
    }
    if (command == "churn") {
        return churn();
    }
    if (command == "advance-counter" && argc == 4) {
        return advance_counter(argv[2], argv[3]);
    }
    if (command == "objects-dir" && argc == 3) {
        return objects_dir(argv[2]);
    }
    std::fprintf(stderr, "usage: see the comment at the top of platform_helper.cpp\n");
    return 64;
}
