#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/namespace.h"

namespace tarnwick::test {

std::filesystem::path corpus_dir() {
    std::filesystem::path dir{TARNWICK_CORPUS_DIR};
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) {
        return std::filesystem::canonical(dir, ec);
    }
    return {};
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    // A namespace's home links to its objects directory elsewhere: that goes too.
    platform::remove_namespace(path_);
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint64_t fnv1a_64(std::string_view bytes) noexcept {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    }
    return hash;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace tarnwick::test
