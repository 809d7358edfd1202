#pragma once
// A client of the running service, written over the exchange classes as any client would be:
// requests appended to "in" with one signal of "GPS::DATAREQUEST", answers taken from "out"
// after "GPS::DATAANSWER", and the data stream read whole after "GPS::DATASTREAM".

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "client/answer.h"
#include "client/request_batch.h"
#include "client/service_objects.h"
#include "client/stream_message.h"

namespace tarnwick::test {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Raw request bytes, for what the request builder refuses to write (bad counts, non-requests).
class RawRequests {
  public:
    RawRequests& i32(std::int32_t value);
    RawRequests& f32(float value);
    // A counted string (characters of the basic plane).
    RawRequests& text(std::wstring_view characters);
    const Bytes& bytes() const noexcept { return bytes_; }

  private:
    Bytes bytes_;
};

class ServiceSession {
  public:
    // Opens the service's channels and events; the service must be ready.
    ServiceSession();
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;

    // The answer bytes to raw requests; nothing when no answer came in time.
    std::optional<Bytes> call(std::span<const std::uint8_t> requests,
                              std::chrono::milliseconds timeout = 60s);
    // The decoded answers to a batch; nothing when they did not come or do not parse exactly.
    std::optional<std::vector<client::Answer>> call(const client::RequestBatch& batch,
                                                    std::chrono::milliseconds timeout = 60s);
    // The one answer of a single-request batch (code 0 when there was none).
    client::Answer ask(const client::RequestBatch& request,
                       std::chrono::milliseconds timeout = 60s);

    // Whether RMC messages carry a tick (the service's "tstamp").
    void set_tick_stamps(bool on) { tick_stamps_ = on; }
    // Reads the data stream until done() holds or the time passes; done()'s last result.
    bool watch_until(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Reads the data stream for the whole span.
    void watch_for(std::chrono::milliseconds span);
    const std::vector<client::StreamMessage>& messages() const noexcept { return messages_; }
    int count(std::int32_t id) const;
    // False once the stream held bytes that are not whole messages.
    bool stream_intact() const noexcept { return intact_; }
    void forget_messages() { messages_.clear(); }

  private:
    void take_data_stream();

    client::ServiceObjects objects_;
    bool tick_stamps_ = false;
    bool intact_ = true;
    std::vector<client::StreamMessage> messages_;
};

// The service's remembered port, as a test presets it.
void remember_port(const wchar_t* name, DWORD baud);

}  // namespace tarnwick::test
