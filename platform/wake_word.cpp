#include "platform/wake_word.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace tarnwick::platform {
namespace {

// The namespaces' words this process has mapped: a list that only grows, read without a lock
// by every signal.
struct KnownWord {
    WakeWord* word;
    dev_t device;
    ino_t inode;
    KnownWord* next;
};

std::atomic<KnownWord*> known_words{nullptr};

std::mutex& known_words_mutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

constexpr off_t kWakeFileSize = sizeof(WakeWord);

void bump(WakeWord& word) noexcept {
    word.generation.fetch_add(1, std::memory_order_seq_cst);
    if (word.sleepers.load(std::memory_order_seq_cst) != 0) {
        futex_wake_all(&word.generation);
    }
}

}  // namespace

WakeWord* namespace_wake_word(const std::filesystem::path& objects_dir) {
    const std::filesystem::path path = objects_dir / ".wake";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int error = errno != 0 ? errno : EINVAL;
        close(fd);
        errno = error;
        return nullptr;
    }
    std::lock_guard lock(known_words_mutex());
    // The same file under another path (or again) is the same word; a file made anew after the
    // old one was removed is another.
    for (KnownWord* known = known_words.load(std::memory_order_acquire); known != nullptr;
         known = known->next) {
        if (known->device == status.st_dev && known->inode == status.st_ino) {
            close(fd);
            return known->word;
        }
    }
    // Growing a file only adds zeros: several processes doing it at once agree.
    if (status.st_size < kWakeFileSize && ftruncate(fd, kWakeFileSize) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return nullptr;
    }
    void* memory = mmap(nullptr, kWakeFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED) {
        return nullptr;
    }
    auto* word = static_cast<WakeWord*>(memory);
    known_words.store(new KnownWord{word, status.st_dev, status.st_ino,
                                    known_words.load(std::memory_order_relaxed)},
                      std::memory_order_release);
    return word;
}

WakeWord& process_wake_word() noexcept {
    static WakeWord word{};
    return word;
}

void announce_signal() noexcept {
    bump(process_wake_word());
    for (KnownWord* known = known_words.load(std::memory_order_acquire); known != nullptr;
         known = known->next) {
        bump(*known->word);
    }
}

WakeWordSleeper::WakeWordSleeper(WakeWord& word) noexcept : word_(word) {
    word_.sleepers.fetch_add(1, std::memory_order_seq_cst);
}

WakeWordSleeper::~WakeWordSleeper() {
    word_.sleepers.fetch_sub(1, std::memory_order_seq_cst);
}

std::uint32_t WakeWordSleeper::look() const noexcept {
    return word_.generation.load(std::memory_order_seq_cst);
}

FutexResult WakeWordSleeper::sleep(std::uint32_t seen, const MonotonicDeadline& deadline) const {
    const FutexSleep one{&word_.generation, seen};
    return futex_sleep({&one, 1}, deadline);
}

}  // namespace tarnwick::platform
