#include "client/request_batch.h"

#include <string>

#include "client/protocol_codes.h"
#include "exchange/counted_string.h"

namespace tarnwick::client {

void RequestBatch::begin(std::int32_t code, bool answered) {
    add_int(code);
    if (answered) {
        answer_codes_.push_back(code);
    }
}

void RequestBatch::add_int(std::int32_t value) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    out_.write(bytes, 4);
}

void RequestBatch::add_string(std::wstring_view text) {
    GPS::write_wstring(out_, std::wstring(text).c_str());
}

RequestBatch& RequestBatch::quit() {
    begin(static_cast<std::int32_t>(RequestCode::Quit), false);
    return *this;
}

RequestBatch& RequestBatch::enum_ports() {
    begin(static_cast<std::int32_t>(RequestCode::EnumPorts), true);
    return *this;
}

RequestBatch& RequestBatch::connect(bool parallel_scan) {
    begin(static_cast<std::int32_t>(RequestCode::Connect), true);
    add_int(parallel_scan ? 1 : 0);
    return *this;
}

RequestBatch& RequestBatch::connect_port(std::wstring_view port, std::int32_t baud) {
    begin(static_cast<std::int32_t>(RequestCode::ConnectPort), true);
    add_string(port);
    add_int(baud);
    return *this;
}

RequestBatch& RequestBatch::disconnect() {
    begin(static_cast<std::int32_t>(RequestCode::Disconnect), true);
    return *this;
}

RequestBatch& RequestBatch::get_input_mode() {
    begin(static_cast<std::int32_t>(RequestCode::GetInputMode), true);
    return *this;
}

RequestBatch& RequestBatch::open_file(std::wstring_view path, bool loop, float speed) {
    begin(static_cast<std::int32_t>(RequestCode::OpenFile), true);
    add_string(path);
    add_int(loop ? 1 : 0);
    out_.write(&speed, 4);  // IEEE-754 single, little-endian on every supported machine
    return *this;
}

RequestBatch& RequestBatch::start_write(std::wstring_view path) {
    begin(static_cast<std::int32_t>(RequestCode::StartWrite), true);
    add_string(path);
    return *this;
}

RequestBatch& RequestBatch::stop_write() {
    begin(static_cast<std::int32_t>(RequestCode::StopWrite), true);
    return *this;
}

RequestBatch& RequestBatch::get_valid_rmc() {
    begin(static_cast<std::int32_t>(RequestCode::GetValidRMC), true);
    return *this;
}

RequestBatch& RequestBatch::get_time_stamp_mode() {
    begin(static_cast<std::int32_t>(RequestCode::GetTimeStampMode), true);
    return *this;
}

RequestBatch& RequestBatch::restart_receiver(bool cold) {
    begin(static_cast<std::int32_t>(RequestCode::RestartReceiver), true);
    add_int(cold ? 1 : 0);
    return *this;
}

RequestBatch& RequestBatch::get_connection() {
    begin(static_cast<std::int32_t>(RequestCode::GetConnection), true);
    return *this;
}

RequestBatch& RequestBatch::get_receiver() {
    begin(static_cast<std::int32_t>(RequestCode::GetReceiver), true);
    return *this;
}

RequestBatch& RequestBatch::open_memory(std::wstring_view name) {
    begin(static_cast<std::int32_t>(RequestCode::OpenMemory), true);
    add_string(name);
    return *this;
}

RequestBatch& RequestBatch::set_receiver(std::int32_t value) {
    begin(static_cast<std::int32_t>(RequestCode::SetReceiver), true);
    add_int(value);
    return *this;
}

}  // namespace tarnwick::client
