#include "server/data_server.h"

#include <cstdint>

#include "base/trace.h"
#include "exchange/exchange_reader.h"
#include "exchange/exchange_writer.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"
#include "server/port_access.h"

namespace names = tarnwick::protocol::names;

CDataServer::CDataServer()
    : reconnection(
          [this](const wchar_t* port, std::int32_t baud) { return try_setup_port(port, baud); },
          [this] { announce_reconnection(); }),
      valid_rmc(valid_rmc_period_seconds) {
    InitializeCriticalSection(&port_lock);
    InitializeCriticalSection(&request_lock);
}

CDataServer::~CDataServer() {
    // The stop event first: it cuts short a probe the reconnect thread may be running.
    stopping = true;
    if (stop_event) {
        EventModify(stop_event.get(), EVENT_SET);
        active_port.cut_short();
    }
    // Nothing may start reconnecting once the stop is under way.
    reconnection.end();
    wait_main_thread();
    // The fix goes to disk before anything else is torn down (the main thread has saved it
    // already when it ran).
    valid_rmc.stop();
    // Readers and scan threads call back into the server: they end before anything they use.
    {
        PortAccess access(*this);
        access.take_out();
    }
    scanner.stop();
    stream_queue.stop();
    input_ended_event.reset();
    data_stream_event.reset();
    stop_event.reset();
    request_event.reset();
    answer_event.reset();
    DeleteCriticalSection(&request_lock);
    DeleteCriticalSection(&port_lock);
}

bool CDataServer::init(bool tick_stamps) {
    tstamp = tick_stamps;
    trace(L"CDataServer::init");
    if (!data_stream.open(names::data_stream_channel, channel_element_size,
                          channel_element_count) ||
        !in.open(names::request_channel, channel_element_size, channel_element_count)) {
        return false;
    }
    trace(L"CDataServer::init:  input buffer innitialized");
    if (!out.open(names::answer_channel, channel_element_size, channel_element_count)) {
        return false;
    }
    trace(L"CDataServer::init:  output buffer innitialized");
    request_event.reset(CreateEventW(nullptr, FALSE, FALSE, names::request_event));
    if (!request_event) {
        return false;
    }
    trace(L"CDataServer::init:  request event innitialized");
    answer_event.reset(CreateEventW(nullptr, FALSE, FALSE, names::answer_event));
    if (!answer_event) {
        return false;
    }
    trace(L"CDataServer::init:  answer event innitialized");
    stop_event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_event) {
        return false;
    }
    trace(L"CDataServer::init:  stop event innitialized");
    data_stream_event.reset(CreateEventW(nullptr, FALSE, FALSE, names::data_stream_event));
    if (!data_stream_event) {
        return false;
    }
    trace(L"CDataServer::init:  data stream event innitialized");
    input_ended_event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!input_ended_event ||
        !stream_queue.start(data_stream_event.get(), [this] { stop_for_full_data_stream(); })) {
        return false;
    }
    active_port.cancel_event = stop_event.get();
    main_thread.reset(CreateThread(nullptr, GPS::thread_stack_size, &CDataServer::main_proc, this,
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!main_thread) {
        return false;
    }
    trace(L"CDataServer::init:  thread event innitialized");
    trace(L"CDataServer::init:  Ok");
    return true;
}

void CDataServer::wait_main_thread() {
    if (main_thread) {
        WaitForSingleObject(main_thread.get(), INFINITE);
        main_thread.reset();
    }
}

void CDataServer::request_stop() {
    stopping = true;
    reconnection.stop();
    if (stop_event) {
        EventModify(stop_event.get(), EVENT_SET);
        active_port.cut_short();
    }
}

void CDataServer::stop_for_full_data_stream() {
    if (!stream_overflowed.exchange(true)) {
        trace(L"CDataServer::stop_for_full_data_stream:  no client empties the data stream");
    }
    request_stop();
}

DWORD CDataServer::main_proc(LPVOID self) {
    trace(L"CDataServer: main proc started, thread = %p", GPS::current_thread_for_trace());
    static_cast<CDataServer*>(self)->run();
    return 0;
}

void CDataServer::run() {
    try_last_used_port();
    const HANDLE waited[] = {request_event.get(), stop_event.get(), input_ended_event.get()};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(3, waited, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0) {
            serve_batch();
            // A Quit in the batch ends the service before a client's next batch is served.
            if (WaitForSingleObject(stop_event.get(), 0) == WAIT_OBJECT_0) {
                break;
            }
        } else if (woken == WAIT_OBJECT_0 + 2) {
            // Entering takes the ended reader out; leaving destroys it.
            PortAccess access(*this);
        } else {
            break;
        }
    }
    trace(L"CDataServer::run:  stop signal. Bye !!!");
    // The newest fix is on disk before the process entry lets a new instance start (it closes
    // the start event once this thread has ended) and before the inputs are torn down.
    stopping = true;
    valid_rmc.stop();
}

void CDataServer::serve_batch() {
    GPS::scoped_critical_section batch(request_lock);
    GPS::exchange_writer answers(out, answer_event.get());
    GPS::exchange_reader requests(in);
    // A request whose arguments would run past the channel is answered as a failure, and the
    // reader, which copied nothing and kept its cursor, reads the next request from there. Only a
    // code that cannot be read ends the batch: nothing after it can be found.
    while (!requests.at_end()) {
        requests.clear_failed();
        if (!serve_request(requests, answers)) {
            break;
        }
    }
}
