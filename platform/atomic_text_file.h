#pragma once
// Small human-editable text files (the registry, the port map) that several processes update:
// each update runs under an exclusive flock on "<file>.lock" and replaces the file in one
// rename of a fully written and synced "<file>.tmp", so a crash at any moment leaves either
// the old or the new content. Readers need no lock.

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::platform {

// The whole file; empty when it does not exist; nothing on a read error (errno set).
std::optional<std::string> read_text_file(const std::filesystem::path& path);

class TextFileUpdate {
  public:
    // Takes the update lock (blocking). held() is false when the lock cannot be taken.
    explicit TextFileUpdate(std::filesystem::path path);
    ~TextFileUpdate();
    TextFileUpdate(const TextFileUpdate&) = delete;
    TextFileUpdate& operator=(const TextFileUpdate&) = delete;

    bool held() const { return lock_fd_ >= 0; }
    // Replaces the file with `content` (mode 0600); false with errno set on failure, in which
    // case the old file is untouched.
    bool replace(const std::string& content);

  private:
    std::filesystem::path path_;
    int lock_fd_ = -1;
};

}  // namespace tarnwick::platform
