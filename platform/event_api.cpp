// CreateEventW, OpenEventW and the event operations.

#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/named_object_cache.h"

using tarnwick::platform::Event;
using tarnwick::platform::EventState;
using tarnwick::platform::fail;
using tarnwick::platform::NamedObjectFile;

namespace {

constexpr const char* kEventSuffix = ".event";

HANDLE open_named_event(LPCWSTR name, NamedObjectFile::Disposition disposition, bool manual_reset,
                        bool initial_state) {
    auto found = tarnwick::platform::find_or_make_named(
        name, kEventSuffix, disposition, sizeof(EventState), true,
        [&](std::unique_ptr<NamedObjectFile> file) -> std::shared_ptr<tarnwick::platform::Object> {
            if (file->created()) {
                Event::initialise(*static_cast<EventState*>(file->memory()), manual_reset,
                                  initial_state);
            }
            return std::make_shared<Event>(std::move(file));
        });
    if (!found.object) {
        return nullptr;
    }
    HANDLE handle = tarnwick::platform::insert_handle(found.object);
    if (handle != nullptr) {
        SetLastError(found.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    }
    return handle;
}

}  // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name) {
    if (name != nullptr && *name != L'\0') {
        return open_named_event(name, NamedObjectFile::Disposition::create_or_open,
                                manual_reset != FALSE, initial_state != FALSE);
    }
    HANDLE handle = tarnwick::platform::insert_handle(
        std::make_shared<Event>(manual_reset != FALSE, initial_state != FALSE));
    if (handle != nullptr) {
        SetLastError(ERROR_SUCCESS);
    }
    return handle;
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
    if (name == nullptr || *name == L'\0') {
        return fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    }
    return open_named_event(name, NamedObjectFile::Disposition::open_existing, false, false);
}

BOOL EventModify(HANDLE handle, DWORD function) {
    auto event = tarnwick::platform::lookup_as<Event>(handle);
    if (!event) {
        return FALSE;
    }
    switch (function) {
        case EVENT_SET:
            event->set();
            return TRUE;
        case EVENT_RESET:
            event->reset();
            return TRUE;
        case EVENT_PULSE:
            event->pulse();
            return TRUE;
        default:
            return fail(ERROR_INVALID_PARAMETER, FALSE);
    }
}

BOOL SetEvent(HANDLE event) {
    return EventModify(event, EVENT_SET);
}
BOOL ResetEvent(HANDLE event) {
    return EventModify(event, EVENT_RESET);
}
BOOL PulseEvent(HANDLE event) {
    return EventModify(event, EVENT_PULSE);
}
