#include "fuzz/support/fuzz_namespace.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/namespace.h"

namespace tarnwick::fuzz {
namespace {

// Kept until the very end of the process: the removal at exit runs after static destructors.
const std::filesystem::path* entered_home = nullptr;

// Named objects are files in the namespace: in memory, creating and removing them thousands of
// times a second costs no disk traffic.
std::filesystem::path parent_directory() {
    std::error_code ignored;
    if (std::filesystem::is_directory("/dev/shm", ignored)) {
        return "/dev/shm";
    }
    return std::filesystem::temp_directory_path();
}

const std::filesystem::path& enter() {
    std::string pattern = (parent_directory() / "tarnwick-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    const std::filesystem::path home = pattern;
    const std::filesystem::path work = home / "work";
    std::filesystem::create_directory(work);
    if (setenv("TARNWICK_HOME", home.c_str(), 1) != 0) {
        std::perror("entering the fuzzing namespace");
        std::abort();
    }
    entered_home = new std::filesystem::path(home);
    // The home and the directory its named objects live in, which may lie elsewhere.
    std::atexit([] { tarnwick::platform::remove_namespace(*entered_home); });
    return *entered_home;
}

}  // namespace

const std::filesystem::path& private_namespace() {
    static const std::filesystem::path& home = enter();
    return home;
}

private_working_directory::private_working_directory()
    : previous_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (previous_ < 0 || chdir((private_namespace() / "work").c_str()) != 0) {
        std::perror("entering the private working directory");
        std::abort();
    }
}

private_working_directory::~private_working_directory() {
    if (fchdir(previous_) != 0) {
        std::perror("leaving the private working directory");
        std::abort();
    }
    ::close(previous_);
}

void write_whole_file(const std::filesystem::path& path, const void* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const auto* bytes = static_cast<const char*>(data);
    std::size_t written = 0;
    while (fd >= 0 && written < size) {
        const ssize_t n = ::write(fd, bytes + written, size - written);
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (fd < 0 || written != size || ::close(fd) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

}  // namespace tarnwick::fuzz
