#include "server/data_stream_queue.h"

#include <utility>

#include "base/trace.h"
#include "exchange/exchange_header.h"
#include "platform/scoped_critical_section.h"
#include "platform/thread_support.h"

namespace tarnwick::server {

namespace {

constexpr DWORD failed_wait_pause_ms = 50;

std::size_t payload_capacity(const GPS::exchange_buffer& channel) {
    const std::int32_t capacity = channel.capacity() - GPS::exchange_header::size;
    return capacity > 0 ? static_cast<std::size_t>(capacity) : 0;
}

}  // namespace

DataStreamQueue::DataStreamQueue(GPS::exchange_buffer& channel) : channel_(channel) {
    InitializeCriticalSection(&lock_);
}

DataStreamQueue::~DataStreamQueue() {
    stop();
    wake_event_.reset();
    stop_event_.reset();
    DeleteCriticalSection(&lock_);
}

bool DataStreamQueue::start(HANDLE signalled, std::function<void()> overflow) {
    limit_ = payload_capacity(channel_);
    signalled_ = signalled;
    overflow_ = std::move(overflow);
    wake_event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    stop_event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!wake_event_ || !stop_event_) {
        return false;
    }
    thread_.reset(CreateThread(nullptr, GPS::thread_stack_size, &DataStreamQueue::thread_proc, this,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    GPS::scoped_critical_section hold(lock_);
    running_ = thread_ && !stopped_;
    return static_cast<bool>(thread_);
}

void DataStreamQueue::stop() {
    {
        GPS::scoped_critical_section hold(lock_);
        stopped_ = true;
        running_ = false;
        queued_.clear();
        queued_bytes_ = 0;
    }
    if (stop_event_) {
        EventModify(stop_event_.get(), EVENT_SET);
    }
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
}

void DataStreamQueue::append(const void* message, std::size_t size, Overflow overflow) {
    bool overflowed = false;
    {
        GPS::scoped_critical_section hold(lock_);
        if (!running_) {
            return;
        }
        if (queued_.empty() && write_if_free(message, size, overflow, overflowed)) {
            // Stored (or found not to fit) on this thread.
        } else if (queued_bytes_ + size > limit_) {
            ++dropped_;
        } else {
            const auto* const bytes = static_cast<const unsigned char*>(message);
            queued_.push_back(Message{std::vector<unsigned char>(bytes, bytes + size), overflow});
            queued_bytes_ += size;
            EventModify(wake_event_.get(), EVENT_SET);
        }
    }
    if (overflowed && overflow_) {
        overflow_();
    }
}

bool DataStreamQueue::write_if_free(const void* message, std::size_t size, Overflow overflow,
                                    bool& overflowed) {
    // Only tried: a client may hold the guard for any time.
    GPS::exchange_writer writer(channel_, signalled_, nullptr, 0);
    if (!writer.locked()) {
        return false;
    }
    writer.write(message, static_cast<int>(size));
    overflowed = !writer.good() && overflow == Overflow::stops_service;
    return true;
}

DWORD DataStreamQueue::thread_proc(LPVOID self) {
    trace(L"CDataServer: data stream proc started, thread = %p", GPS::current_thread_for_trace());
    static_cast<DataStreamQueue*>(self)->run();
    return 0;
}

void DataStreamQueue::run() {
    const HANDLE wake[] = {stop_event_.get(), wake_event_.get()};
    while (WaitForMultipleObjects(2, wake, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        {
            // Only this thread takes messages out: what is queued now is still there below.
            GPS::scoped_critical_section hold(lock_);
            if (queued_.empty()) {
                continue;
            }
        }
        bool overflowed = false;
        {
            GPS::exchange_writer writer(channel_, signalled_, stop_event_.get(), INFINITE);
            if (!writer.locked()) {
                if (WaitForSingleObject(stop_event_.get(), 0) == WAIT_OBJECT_0) {
                    return;
                }
                // A failed wait: try again a little later rather than strand the queue.
                trace(L"CDataServer: data stream guard wait failed, err = %d",
                      static_cast<int>(GetLastError()));
                Sleep(failed_wait_pause_ms);
                EventModify(wake_event_.get(), EVENT_SET);
                continue;
            }
            overflowed = drain_into(writer);
        }
        if (overflowed && overflow_) {
            overflow_();
        }
    }
}

bool DataStreamQueue::drain_into(GPS::exchange_writer& writer) {
    GPS::scoped_critical_section hold(lock_);
    bool overflowed = false;
    for (const Message& message : queued_) {
        writer.write(message.bytes.data(), static_cast<int>(message.bytes.size()));
        overflowed = overflowed || (!writer.good() && message.overflow == Overflow::stops_service);
    }
    trace(L"CDataServer: %d messages waited for the data stream guard",
          static_cast<int>(queued_.size()));
    if (dropped_ != 0) {
        trace(L"CDataServer: data stream was held, %I64d messages dropped",
              static_cast<long long>(dropped_));
        dropped_ = 0;
    }
    queued_.clear();
    queued_bytes_ = 0;
    return overflowed;
}

}  // namespace tarnwick::server
