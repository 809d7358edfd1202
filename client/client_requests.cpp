// The typed one-request helpers of Client.
#include "client/client.h"

namespace tarnwick::client {

ClientError Client::quit() {
    std::vector<Answer> none;
    return send(RequestBatch().quit(), none);
}

ClientError Client::enum_ports(std::vector<std::wstring>& ports) {
    Answer answer;
    const ClientError error = ask(RequestBatch().enum_ports(), answer);
    ports = std::move(answer.ports);
    return error;
}

ClientError Client::connect(bool parallel_scan, PortConnection& result) {
    Answer answer;
    const ClientError error = ask(RequestBatch().connect(parallel_scan), answer);
    result = {answer.result == 1, std::move(answer.port), answer.baud};
    return error;
}

ClientError Client::connect_port(const std::wstring& port, std::int32_t baud,
                                 ConnectPortResult& result) {
    Answer answer;
    const ClientError error = ask(RequestBatch().connect_port(port, baud), answer);
    result = {answer.result == 1, answer.system_error};
    return error;
}

ClientError Client::disconnect() {
    Answer answer;
    return ask(RequestBatch().disconnect(), answer);
}

ClientError Client::get_input_mode(std::int32_t& mode) {
    return ask_value(RequestBatch().get_input_mode(), mode);
}

ClientError Client::open_file(const std::wstring& path, bool loop, float speed, bool& opened) {
    return ask_flag(RequestBatch().open_file(path, loop, speed), opened);
}

ClientError Client::start_write(const std::wstring& path, bool& started) {
    return ask_flag(RequestBatch().start_write(path), started);
}

ClientError Client::stop_write(bool& had_input) {
    return ask_flag(RequestBatch().stop_write(), had_input);
}

ClientError Client::get_valid_rmc(std::optional<RMC>& fix) {
    Answer answer;
    const ClientError error = ask(RequestBatch().get_valid_rmc(), answer);
    fix = std::move(answer.fix);
    return error;
}

ClientError Client::get_time_stamp_mode(bool& tstamp) {
    return ask_flag(RequestBatch().get_time_stamp_mode(), tstamp);
}

ClientError Client::restart_receiver(bool cold) {
    Answer answer;
    return ask(RequestBatch().restart_receiver(cold), answer);
}

ClientError Client::get_connection(PortConnection& connection) {
    Answer answer;
    const ClientError error = ask(RequestBatch().get_connection(), answer);
    connection = {answer.result == 1, std::move(answer.port), answer.baud};
    return error;
}

ClientError Client::get_receiver(std::int32_t& value) {
    return ask_value(RequestBatch().get_receiver(), value);
}

ClientError Client::open_memory(const std::wstring& name, bool& opened) {
    return ask_flag(RequestBatch().open_memory(name), opened);
}

ClientError Client::set_receiver(std::int32_t value, std::int32_t& result) {
    return ask_value(RequestBatch().set_receiver(value), result);
}

ClientError Client::ask_flag(const RequestBatch& batch, bool& flag) {
    std::int32_t value = 0;
    const ClientError error = ask_value(batch, value);
    flag = value == 1;
    return error;
}

ClientError Client::ask_value(const RequestBatch& batch, std::int32_t& value) {
    Answer answer;
    const ClientError error = ask(batch, answer);
    value = answer.result;
    return error;
}

}  // namespace tarnwick::client
