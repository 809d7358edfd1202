// Commands to the receiver of a serial source: restart (SiRF message 101), and the query and
// change of its proprietary setting (PORZX / PKON1). Replies arrive on the reader thread through
// a CReceiverListener placed in front of the current listener.

#include <cstdio>
#include <memory>

#include "base/trace.h"
#include "nmeaio/nmea_io.h"
#include "nmeaio/receiver_listener.h"
#include "nmeaio/serial_source.h"
#include "platform/scoped_critical_section.h"

namespace {

constexpr DWORD write_timeout_ms = 10000;
constexpr DWORD reply_timeout_ms = 30000;
constexpr int sirf_navigation_init = 101;
constexpr int all_channels = 12;
constexpr int cold_start = 4;
constexpr int warm_start = 2;

}  // namespace

template <class Encode>
bool CSerialSource::queue_command(Encode&& encode) {
    GPS::scoped_critical_section hold(output_lock_);
    char* const output_limit = output_ + output_size;
    if (output_end_ >= output_limit) {
        return false;
    }
    const unsigned appended =
        encode(output_end_, static_cast<unsigned>(output_limit - output_end_));
    output_end_ += appended;
    return appended != 0;
}

bool CSerialSource::restart_receiver(bool cold, HANDLE cancel) {
    SiRFParams params;
    params.s[6] = all_channels;
    params.s[7] = cold ? cold_start : warm_start;
    queue_command([&](char* out, unsigned room) {
        return encoder_.encode_sirf(out, room, sirf_navigation_init, params);
    });
    return flush(write_timeout_ms, cancel);
}

std::int32_t CSerialSource::get_receiver(CReceiverListener* given, HANDLE cancel) {
    const HANDLE reply_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (reply_event == nullptr) {
        return 0;
    }
    std::unique_ptr<CReceiverListener> created;
    CReceiverListener* query = given;
    if (query == nullptr) {
        created = std::make_unique<CReceiverListener>(io_.current_listener());
        query = created.get();
    }
    query->reply_event = reply_event;
    io_.interpose(query);
    const bool queued = queue_command([&](char* out, unsigned room) {
        return encoder_.encode_sentence(out, room, "aaGPQ,PORZX");
    });
    bool replied = false;
    if (queued) {
        flush(write_timeout_ms, cancel);
        const HANDLE waited[] = {reply_event, cancel};
        replied = WaitForMultipleObjects(cancel != nullptr ? 2 : 1, waited, FALSE,
                                         reply_timeout_ms) == WAIT_OBJECT_0;
        if (!replied) {
            trace(L"CNMEAIO::get_receiver: timed out");
        }
    }
    // Out of the chain first: the fields are read once the reader can no longer write them.
    io_.set_listener(query->next);
    query->reply_event = nullptr;
    CloseHandle(reply_event);
    return replied ? query->receiver : 0;
}

std::int32_t CSerialSource::set_receiver(std::int32_t value, HANDLE cancel) {
    CReceiverListener query(io_.current_listener());
    const std::int32_t current = get_receiver(&query, cancel);
    if (current == value) {
        return current;
    }
    char payload[256];
    std::snprintf(payload, sizeof payload, "PKON1,%03d,%d,,,%04d,%c", query.param1, value,
                  query.param5, query.param6);
    const bool queued = queue_command(
        [&](char* out, unsigned room) { return encoder_.encode_sentence(out, room, payload); });
    if (queued) {
        flush(write_timeout_ms, cancel);
    }
    return get_receiver(&query, cancel);
}
