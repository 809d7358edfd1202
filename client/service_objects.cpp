#include "client/service_objects.h"

#include <initializer_list>

#include "client/object_names.h"

namespace tarnwick::client {

ServiceObjects::~ServiceObjects() {
    for (HANDLE handle : {request_event, answer_event, data_stream_event}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
}

bool ServiceObjects::open() {
    const int size = names::channel_element_size;
    const int count = names::channel_element_count;
    if (!data_stream.open(names::data_stream_channel, size, count) ||
        !in.open(names::request_channel, size, count) ||
        !out.open(names::answer_channel, size, count)) {
        return false;
    }
    request_event = CreateEventW(nullptr, FALSE, FALSE, names::request_event);
    answer_event = CreateEventW(nullptr, FALSE, FALSE, names::answer_event);
    data_stream_event = CreateEventW(nullptr, FALSE, FALSE, names::data_stream_event);
    return request_event != nullptr && answer_event != nullptr && data_stream_event != nullptr;
}

}  // namespace tarnwick::client
