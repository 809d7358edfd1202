#include "tools/tarnwick-sim/memory_producer.h"

#include <stdexcept>

#include "base/utf8.h"

namespace tarnwick::sim {
namespace {

constexpr DWORD guard_timeout_ms = 5000;

[[noreturn]] void fail(const std::wstring& object) {
    throw std::runtime_error("cannot create " + tarnwick::to_utf8(object) + " (error " +
                             std::to_string(GetLastError()) + ")");
}

}  // namespace

MemoryProducer::MemoryProducer(const std::wstring& name) {
    if (name.empty() || name.size() > max_name_length) {
        throw std::runtime_error("a producer name has 1 to 47 characters");
    }
    namespace block = protocol::producer_block;
    const std::wstring map_name = block::map_name(name);
    const std::wstring mutex_name = block::mutex_name(name);
    const std::wstring event_name = block::event_name(name);
    try {
        mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(block::mapping_size),
                                          map_name.c_str()));
        if (!mapping_) {
            fail(map_name);
        }
        view_ = MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0);
        if (view_ == nullptr) {
            fail(map_name);
        }
        mutex_.reset(CreateMutexW(nullptr, FALSE, mutex_name.c_str()));
        if (!mutex_) {
            fail(mutex_name);
        }
        event_.reset(CreateEventW(nullptr, FALSE, FALSE, event_name.c_str()));
        if (!event_) {
            fail(event_name);
        }
    } catch (...) {
        release();
        throw;
    }
}

MemoryProducer::~MemoryProducer() {
    release();
}

void MemoryProducer::release() noexcept {
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
        view_ = nullptr;
    }
    event_.reset();
    mutex_.reset();
    mapping_.reset();
}

bool MemoryProducer::publish(std::string_view text, std::int64_t stamp) {
    const DWORD waited = WaitForSingleObject(mutex_.get(), guard_timeout_ms);
    // An abandoned mutex is ours now: its owner died, the block is ours to rewrite.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        return false;
    }
    protocol::producer_block::write_block(view_, text, stamp);
    ReleaseMutex(mutex_.get());
    SetEvent(event_.get());
    return true;
}

}  // namespace tarnwick::sim
