#pragma once
// The service's side of "data_stream": every message the service composes (records, the end of
// an input, scan steps, reconnection) is appended through this one queue, in the order in which
// the producers hand them over.
//
// A client holds the channel's guard mutex for as long as it reads, and a stopped or slow client
// holds it indefinitely. No producer may wait for it: reader threads run under their listener
// lock, which receiver queries and reader destruction take, and scan threads are joined when a
// scan stops. So a producer only tries the guard: when it is free and nothing is queued the
// message goes straight into the channel on the producer's thread (the usual case, with no
// thread hop); otherwise it is queued, and the queue's own thread waits for the guard (and for
// its stop event only) and appends everything queued, in order, once the holder lets go.
//
// The queue holds at most what the channel can hold; messages arriving while it is full are
// dropped whole and counted. A message marked as stopping the service when it does not fit
// (a record: nobody empties the channel) calls the overflow action, as the direct write did.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "exchange/exchange_buffer.h"
#include "exchange/exchange_writer.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"

namespace tarnwick::server {

class DataStreamQueue {
  public:
    enum class Overflow { ignored, stops_service };

    explicit DataStreamQueue(GPS::exchange_buffer& channel);
    ~DataStreamQueue();
    DataStreamQueue(const DataStreamQueue&) = delete;
    DataStreamQueue& operator=(const DataStreamQueue&) = delete;

    // Starts the queue's thread once the channel is open; `signalled` is set after every append
    // to the channel, and
    // `overflow` runs (on any thread) when a message marked stops_service does not fit.
    bool start(HANDLE signalled, std::function<void()> overflow);
    // Ends the thread without waiting for the guard; from then on every message is dropped.
    void stop();

    // Hands one whole message over; it reaches the channel whole or not at all.
    void append(const void* message, std::size_t size, Overflow overflow);

  private:
    struct Message {
        std::vector<unsigned char> bytes;
        Overflow overflow;
    };

    // Under lock_: writes the message at once when the guard is free; false when it is not.
    bool write_if_free(const void* message, std::size_t size, Overflow overflow, bool& overflowed);
    static DWORD thread_proc(LPVOID self);
    void run();
    // Writes what is queued under the guard already held by `writer`; true when a message that
    // stops the service did not fit.
    bool drain_into(GPS::exchange_writer& writer);

    GPS::exchange_buffer& channel_;
    // What the open channel can hold; messages queued beyond it are dropped.
    std::size_t limit_ = 0;
    HANDLE signalled_ = nullptr;
    std::function<void()> overflow_;
    GPS::unique_handle thread_;
    GPS::unique_handle wake_event_;
    GPS::unique_handle stop_event_;

    CRITICAL_SECTION lock_;
    std::deque<Message> queued_;
    std::size_t queued_bytes_ = 0;
    std::uint64_t dropped_ = 0;
    bool stopped_ = false;
    // From a successful start until the stop: only then are messages taken.
    bool running_ = false;
};

}  // namespace tarnwick::server
