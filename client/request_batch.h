#pragma once
// One or more requests as the service reads them from "in": each an int32 code followed by its
// arguments. The batch also remembers which answers to expect, in order, so that a transaction
// can recognise its own answers (answer_parser.h).

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "client/protocol_codes.h"

namespace tarnwick::client {

class RequestBatch {
  public:
    RequestBatch& quit();
    RequestBatch& enum_ports();
    RequestBatch& connect(bool parallel_scan);
    // An empty name means the remembered port and rate.
    RequestBatch& connect_port(std::wstring_view port, std::int32_t baud);
    RequestBatch& disconnect();
    RequestBatch& get_input_mode();
    // The service opens the path as given: pass an absolute one.
    RequestBatch& open_file(std::wstring_view path, bool loop, float speed);
    RequestBatch& start_write(std::wstring_view path);
    RequestBatch& stop_write();
    RequestBatch& get_valid_rmc();
    RequestBatch& get_time_stamp_mode();
    RequestBatch& restart_receiver(bool cold);
    RequestBatch& get_connection();
    RequestBatch& get_receiver();
    RequestBatch& open_memory(std::wstring_view name);
    RequestBatch& set_receiver(std::int32_t value);

    const std::vector<std::uint8_t>& bytes() const noexcept { return bytes_; }
    // The request codes whose answers come back, in order (Quit has none).
    const std::vector<std::int32_t>& answer_codes() const noexcept { return answer_codes_; }
    bool empty() const noexcept { return bytes_.empty(); }
    // False when a string was longer than the protocol carries. It went out as an empty
    // count, which ConnectPort would take for "the remembered port", so such a batch is never
    // sent.
    bool complete() const noexcept { return complete_; }

  private:
    void begin(RequestCode request);
    void add_int(std::int32_t value);
    void add_string(std::wstring_view text);

    void add_bytes(const void* bytes, std::size_t count);

    std::vector<std::uint8_t> bytes_;
    std::vector<std::int32_t> answer_codes_;
    bool complete_ = true;
};

}  // namespace tarnwick::client
