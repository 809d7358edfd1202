#include "client/request_batch.h"

#include <string>

#include "client/byte_vector_stream.h"
#include "client/protocol_codes.h"
#include "exchange/counted_string.h"

namespace tarnwick::client {

void RequestBatch::begin(RequestCode request) {
    const auto code = static_cast<std::int32_t>(request);
    add_int(code);
    // Quit is the one request without an answer.
    if (request != RequestCode::Quit) {
        answer_codes_.push_back(code);
    }
}

void RequestBatch::add_int(std::int32_t value) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    add_bytes(bytes, 4);
}

void RequestBatch::add_string(std::wstring_view text) {
    byte_vector_ostream counted;
    if (!GPS::write_wstring(counted, std::wstring(text).c_str())) {
        complete_ = false;
    }
    add_bytes(counted.bytes().data(), counted.bytes().size());
}

void RequestBatch::add_bytes(const void* bytes, std::size_t count) {
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), first, first + count);
}

RequestBatch& RequestBatch::quit() {
    begin(RequestCode::Quit);
    return *this;
}

RequestBatch& RequestBatch::enum_ports() {
    begin(RequestCode::EnumPorts);
    return *this;
}

RequestBatch& RequestBatch::connect(bool parallel_scan) {
    begin(RequestCode::Connect);
    add_int(parallel_scan ? 1 : 0);
    return *this;
}

RequestBatch& RequestBatch::connect_port(std::wstring_view port, std::int32_t baud) {
    begin(RequestCode::ConnectPort);
    add_string(port);
    add_int(baud);
    return *this;
}

RequestBatch& RequestBatch::disconnect() {
    begin(RequestCode::Disconnect);
    return *this;
}

RequestBatch& RequestBatch::get_input_mode() {
    begin(RequestCode::GetInputMode);
    return *this;
}

RequestBatch& RequestBatch::open_file(std::wstring_view path, bool loop, float speed) {
    begin(RequestCode::OpenFile);
    add_string(path);
    add_int(loop ? 1 : 0);
    add_bytes(&speed, 4);  // IEEE-754 single, little-endian on every supported machine
    return *this;
}

RequestBatch& RequestBatch::start_write(std::wstring_view path) {
    begin(RequestCode::StartWrite);
    add_string(path);
    return *this;
}

RequestBatch& RequestBatch::stop_write() {
    begin(RequestCode::StopWrite);
    return *this;
}

RequestBatch& RequestBatch::get_valid_rmc() {
    begin(RequestCode::GetValidRMC);
    return *this;
}

RequestBatch& RequestBatch::get_time_stamp_mode() {
    begin(RequestCode::GetTimeStampMode);
    return *this;
}

RequestBatch& RequestBatch::restart_receiver(bool cold) {
    begin(RequestCode::RestartReceiver);
    add_int(cold ? 1 : 0);
    return *this;
}

RequestBatch& RequestBatch::get_connection() {
    begin(RequestCode::GetConnection);
    return *this;
}

RequestBatch& RequestBatch::get_receiver() {
    begin(RequestCode::GetReceiver);
    return *this;
}

RequestBatch& RequestBatch::open_memory(std::wstring_view name) {
    begin(RequestCode::OpenMemory);
    add_string(name);
    return *this;
}

RequestBatch& RequestBatch::set_receiver(std::int32_t value) {
    begin(RequestCode::SetReceiver);
    add_int(value);
    return *this;
}

}  // namespace tarnwick::client
