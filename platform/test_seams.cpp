#include "platform/test_seams.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>

#include "platform/port_names.h"

namespace tarnwick::platform {
namespace {

struct Armed {
    unsigned times;
    DWORD error;
};

struct Seams {
    std::mutex mutex;
    std::map<std::wstring, Armed> by_name;
    std::map<HANDLE, Armed> by_handle;
    std::map<std::wstring, unsigned> set_state_calls;
    std::optional<std::filesystem::path> dev_shm;
};

std::atomic<bool> any_armed{false};
std::atomic<bool> devices_hidden{false};

Seams& seams() {
    static auto* instance = new Seams;
    return *instance;
}

std::wstring canonical_name(const std::wstring& name) {
    auto number = com_port_number(name);
    return number ? com_port_name(*number) : name;
}

template <typename Key>
bool take(std::map<Key, Armed>& armed, const Key& key, DWORD& error) {
    auto found = armed.find(key);
    if (found == armed.end() || found->second.times == 0) {
        return false;
    }
    --found->second.times;
    error = found->second.error;
    return true;
}

}  // namespace

bool take_get_comm_state_failure(HANDLE port, const std::wstring& port_name, DWORD& error) {
    if (!any_armed.load(std::memory_order_acquire)) {
        return false;
    }
    std::lock_guard lock(seams().mutex);
    return take(seams().by_handle, port, error) ||
           take(seams().by_name, canonical_name(port_name), error);
}

void note_set_comm_state(const std::wstring& port_name) {
    if (!any_armed.load(std::memory_order_acquire)) {
        return;
    }
    std::lock_guard lock(seams().mutex);
    auto counted = seams().set_state_calls.find(canonical_name(port_name));
    if (counted != seams().set_state_calls.end()) {
        ++counted->second;
    }
}

bool discovered_devices_hidden() {
    return devices_hidden.load(std::memory_order_acquire);
}

std::filesystem::path dev_shm_directory() {
    std::lock_guard lock(seams().mutex);
    return seams().dev_shm.value_or("/dev/shm");
}

}  // namespace tarnwick::platform

namespace tarnwick::platform::testing {

void fail_get_comm_state(const std::wstring& port_name, unsigned times, DWORD error) {
    std::lock_guard lock(seams().mutex);
    seams().by_name[canonical_name(port_name)] = {times, error};
    any_armed.store(true, std::memory_order_release);
}

void fail_get_comm_state(HANDLE port, unsigned times, DWORD error) {
    std::lock_guard lock(seams().mutex);
    seams().by_handle[port] = {times, error};
    any_armed.store(true, std::memory_order_release);
}

void count_set_comm_state(const std::wstring& port_name) {
    std::lock_guard lock(seams().mutex);
    seams().set_state_calls[canonical_name(port_name)] = 0;
    any_armed.store(true, std::memory_order_release);
}

unsigned set_comm_state_calls(const std::wstring& port_name) {
    std::lock_guard lock(seams().mutex);
    auto counted = seams().set_state_calls.find(canonical_name(port_name));
    return counted != seams().set_state_calls.end() ? counted->second : 0;
}

void hide_discovered_devices() {
    devices_hidden.store(true, std::memory_order_release);
}

void replace_dev_shm(const std::filesystem::path& dir) {
    std::lock_guard lock(seams().mutex);
    seams().dev_shm = dir;
}

void clear_seams() {
    devices_hidden.store(false, std::memory_order_release);
    std::lock_guard lock(seams().mutex);
    seams().dev_shm.reset();
    seams().by_name.clear();
    seams().by_handle.clear();
    seams().set_state_calls.clear();
    any_armed.store(false, std::memory_order_release);
}

}  // namespace tarnwick::platform::testing
