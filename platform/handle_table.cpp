#include "platform/handle_table.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace tarnwick::platform {
namespace {

// Low bits: slot index + 1 (never 0). High bits: the slot's generation (never 0). Values stay
// clear of INVALID_HANDLE_VALUE and of the predefined registry roots.
constexpr unsigned kIndexBits = sizeof(std::uintptr_t) == 8 ? 32 : 15;
constexpr std::uintptr_t kIndexMask = (std::uintptr_t{1} << kIndexBits) - 1;
constexpr std::uintptr_t kGenerationMask = sizeof(std::uintptr_t) == 8 ? 0x7FFFFFFF : 0xFFFF;
constexpr std::size_t kMaxSlots = sizeof(std::uintptr_t) == 8 ? (1u << 20) : 0x7FFE;

struct Slot {
    std::shared_ptr<Object> object;
    std::uintptr_t generation = 0;
};

class HandleTable {
  public:
    HANDLE insert(std::shared_ptr<Object> object) {
        std::lock_guard lock(mutex_);
        std::size_t index;
        if (!free_.empty()) {
            index = free_.front();
            free_.pop_front();
        } else if (slots_.size() < kMaxSlots) {
            index = slots_.size();
            slots_.emplace_back();
        } else {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        Slot& slot = slots_[index];
        slot.generation = (slot.generation & kGenerationMask) + 1;
        if (slot.generation > kGenerationMask) {
            slot.generation = 1;
        }
        slot.object = std::move(object);
        return reinterpret_cast<HANDLE>((slot.generation << kIndexBits) | (index + 1));
    }

    std::shared_ptr<Object> lookup(HANDLE handle) {
        std::lock_guard lock(mutex_);
        Slot* slot = find(handle);
        return slot != nullptr ? slot->object : nullptr;
    }

    std::shared_ptr<Object> remove(HANDLE handle) {
        std::shared_ptr<Object> object;
        {
            std::lock_guard lock(mutex_);
            Slot* slot = find(handle);
            if (slot == nullptr) {
                return nullptr;
            }
            object = std::move(slot->object);
            slot->object.reset();
            free_.push_back(static_cast<std::size_t>(slot - slots_.data()));
        }
        return object;  // destroyed, if this was the last reference, outside the table lock
    }

  private:
    Slot* find(HANDLE handle) {
        auto value = reinterpret_cast<std::uintptr_t>(handle);
        std::uintptr_t index_plus_one = value & kIndexMask;
        std::uintptr_t generation = value >> kIndexBits;
        if (index_plus_one == 0 || index_plus_one > slots_.size()) {
            return nullptr;
        }
        Slot& slot = slots_[index_plus_one - 1];
        if (!slot.object || slot.generation != generation) {
            return nullptr;
        }
        return &slot;
    }

    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::deque<std::size_t> free_;
};

HandleTable& table() {
    static auto* instance = new HandleTable;  // never destroyed: threads may outlive main
    return *instance;
}

}  // namespace

HANDLE insert_handle(std::shared_ptr<Object> object) {
    return table().insert(std::move(object));
}

std::shared_ptr<Object> lookup_handle(HANDLE handle) {
    auto object = table().lookup(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return object;
}

std::shared_ptr<Object> remove_handle(HANDLE handle) {
    auto object = table().remove(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return object;
}

}  // namespace tarnwick::platform

BOOL CloseHandle(HANDLE handle) {
    auto object = tarnwick::platform::remove_handle(handle);
    if (!object) {
        return FALSE;
    }
    object->closing();
    return TRUE;
}
