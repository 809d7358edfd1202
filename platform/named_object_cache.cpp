#include "platform/named_object_cache.h"

#include <map>
#include <string>

#include "base/utf8.h"

namespace tarnwick::platform {
namespace {

// Guarded by the namespace creation lock (which serialises the threads of the process).
std::map<std::string, std::weak_ptr<Object>>& cache() {
    static auto* entries = new std::map<std::string, std::weak_ptr<Object>>;
    return *entries;
}

void forget_expired() {
    std::erase_if(cache(), [](const auto& entry) { return entry.second.expired(); });
}

}  // namespace

NamedLookup find_or_make_named(std::wstring_view name, const char* suffix,
                               NamedObjectFile::Disposition disposition, std::uint64_t create_size,
                               bool map_whole, const NamedObjectFactory& make) {
    NamespaceCreationLock lock;
    std::string key = lock.objects_directory().string() + '/' + suffix + '/' + to_utf8(name);
    if (auto found = cache().find(key); found != cache().end()) {
        if (auto object = found->second.lock()) {
            return {std::move(object), true};
        }
    }
    auto file = NamedObjectFile::acquire(lock, name, suffix, disposition, create_size, map_whole);
    if (!file) {
        return {};
    }
    bool existed = !file->created();
    auto object = make(std::move(file));
    if (object) {
        forget_expired();
        cache()[key] = object;
    }
    return {std::move(object), existed};
}

}  // namespace tarnwick::platform
