#include "client/service_objects.h"

#include <initializer_list>

#include "protocol/object_names.h"

namespace tarnwick::client {

ServiceObjects::~ServiceObjects() {
    for (HANDLE handle : {request_event, answer_event, data_stream_event}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
}

bool ServiceObjects::open() {
    return open_data_stream() && open_requests();
}

bool ServiceObjects::open_requests() {
    const int size = protocol::names::channel_element_size;
    const int count = protocol::names::channel_element_count;
    if (!in.open(protocol::names::request_channel, size, count) ||
        !out.open(protocol::names::answer_channel, size, count)) {
        return false;
    }
    request_event = CreateEventW(nullptr, FALSE, FALSE, protocol::names::request_event);
    answer_event = CreateEventW(nullptr, FALSE, FALSE, protocol::names::answer_event);
    return request_event != nullptr && answer_event != nullptr;
}

bool ServiceObjects::open_data_stream() {
    if (!data_stream.open(protocol::names::data_stream_channel,
                          protocol::names::channel_element_size,
                          protocol::names::channel_element_count)) {
        return false;
    }
    data_stream_event = CreateEventW(nullptr, FALSE, FALSE, protocol::names::data_stream_event);
    return data_stream_event != nullptr;
}

}  // namespace tarnwick::client
