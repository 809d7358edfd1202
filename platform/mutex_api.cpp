// CreateMutexW, OpenMutexW and ReleaseMutex.

#include "platform/last_error.h"
#include "platform/mutex.h"
#include "platform/named_object_cache.h"

using tarnwick::platform::fail;
using tarnwick::platform::Mutex;
using tarnwick::platform::MutexState;
using tarnwick::platform::NamedObjectFile;

namespace {

tarnwick::platform::NamedLookup find_named_mutex(LPCWSTR name,
                                                 NamedObjectFile::Disposition disposition) {
    return tarnwick::platform::find_or_make_named(
        name, ".mutex", disposition, sizeof(MutexState), true,
        [](std::unique_ptr<NamedObjectFile> file) -> std::shared_ptr<tarnwick::platform::Object> {
            if (file->created() && !Mutex::initialise(*static_cast<MutexState*>(file->memory()))) {
                return nullptr;
            }
            return std::make_shared<Mutex>(std::move(file));
        });
}

}  // namespace

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCWSTR name) {
    std::shared_ptr<Mutex> mutex;
    bool existed = false;
    if (name != nullptr && *name != L'\0') {
        auto found = find_named_mutex(name, NamedObjectFile::Disposition::create_or_open);
        mutex = std::static_pointer_cast<Mutex>(found.object);
        existed = found.existed;
    } else {
        mutex = std::make_shared<Mutex>();
    }
    if (!mutex) {
        return nullptr;
    }
    if (initial_owner != FALSE && !existed) {
        tarnwick::platform::WaitMemo memo;
        mutex->try_acquire(memo);  // fresh: free
    }
    HANDLE handle = tarnwick::platform::insert_handle(mutex);
    if (handle != nullptr) {
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    }
    return handle;
}

HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) {
    if (name == nullptr || *name == L'\0') {
        return fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    }
    auto found = find_named_mutex(name, NamedObjectFile::Disposition::open_existing);
    if (!found.object) {
        return nullptr;
    }
    return tarnwick::platform::insert_handle(found.object);
}

BOOL ReleaseMutex(HANDLE handle) {
    auto mutex = tarnwick::platform::lookup_as<Mutex>(handle);
    if (!mutex) {
        return FALSE;
    }
    return mutex->release() ? TRUE : FALSE;
}
