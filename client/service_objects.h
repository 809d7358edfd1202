#pragma once
// The service's channels and events as any process of the namespace opens them
// (docs/protocol.md, "Objects"): "in", "out" and "data_stream" with the service's own geometry,
// and the request, answer and data-stream events. Whichever side comes first creates them with
// the same parameters, so the service, clients and stand-ins for the service all share one set.

#include "exchange/exchange_buffer.h"
#include "platform/win32.h"

namespace tarnwick::client {

struct ServiceObjects {
    ServiceObjects() = default;
    ~ServiceObjects();
    ServiceObjects(const ServiceObjects&) = delete;
    ServiceObjects& operator=(const ServiceObjects&) = delete;

    // Creates or opens every object; false when one cannot be (the others stay open until the
    // destructor).
    bool open();
    // Only what requests need: "in", "out" and their events. Opening a channel waits for its
    // guard mutex, and a client reading "data_stream" may hold that one for any time, so a
    // client that only sends requests never touches "data_stream".
    bool open_requests();
    // "data_stream" and its event, for a client that reads the data stream.
    bool open_data_stream();

    GPS::exchange_buffer data_stream;
    GPS::exchange_buffer in;
    GPS::exchange_buffer out;
    HANDLE request_event = nullptr;
    HANDLE answer_event = nullptr;
    HANDLE data_stream_event = nullptr;
};

}  // namespace tarnwick::client
