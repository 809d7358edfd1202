#include "client/answer_parser.h"

#include "client/protocol_codes.h"
#include "client/wire_reading.h"
#include "exchange/memory_stream.h"

namespace tarnwick::client {
namespace {

bool read_answer(GPS::memory_istream& in, std::int32_t expected, Answer& answer) {
    const bool request = is_request(expected);
    answer.code = read_int(in);
    if (in.failed() || answer.code != (request ? expected : no_such_request)) {
        return false;
    }
    if (!request) {
        return true;
    }
    bool refused = false;
    switch (static_cast<RequestCode>(expected)) {
        case RequestCode::Disconnect:
            return true;
        case RequestCode::EnumPorts:
            answer.result = read_int(in);
            // Each name takes at least its 4-byte count: a larger count cannot be genuine.
            if (answer.result < 0 || static_cast<std::size_t>(answer.result) > in.remaining() / 4) {
                return false;
            }
            for (std::int32_t i = 0; i < answer.result && !refused; ++i) {
                answer.ports.push_back(read_text(in, refused));
            }
            break;
        case RequestCode::Connect:
        case RequestCode::GetConnection:
            answer.result = read_int(in);
            if (answer.result == 1) {
                answer.port = read_text(in, refused);
                answer.baud = read_int(in);
            }
            break;
        case RequestCode::ConnectPort:
            answer.result = read_int(in);
            if (answer.result == 0) {
                answer.system_error = static_cast<std::uint32_t>(read_int(in));
            }
            break;
        case RequestCode::GetValidRMC:
            answer.result = read_int(in);
            if (answer.result == 1) {
                answer.fix.emplace();
                answer.fix->deserialize(in);
            }
            break;
        default:
            answer.result = read_int(in);
            break;
    }
    return !refused && !in.failed();
}

// Skips the arguments of one request; false when the bytes end inside them.
bool skip_arguments(GPS::memory_istream& in, std::int32_t code) {
    bool refused = false;
    switch (static_cast<RequestCode>(code)) {
        case RequestCode::Connect:
        case RequestCode::RestartReceiver:
        case RequestCode::SetReceiver:
            read_int(in);
            break;
        case RequestCode::ConnectPort:
            read_text(in, refused);
            read_int(in);
            break;
        case RequestCode::OpenFile:
            read_text(in, refused);
            read_int(in);
            read_int(in);
            break;
        case RequestCode::StartWrite:
        case RequestCode::OpenMemory:
            read_text(in, refused);
            break;
        default:
            break;
    }
    return !refused && !in.failed();
}

}  // namespace

std::optional<std::vector<Answer>> parse_answers(std::span<const std::uint8_t> bytes,
                                                 std::span<const std::int32_t> codes) {
    GPS::memory_istream in(bytes.data(), bytes.size());
    std::vector<Answer> answers(codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (!read_answer(in, codes[i], answers[i])) {
            return std::nullopt;
        }
    }
    if (in.remaining() != 0) {
        return std::nullopt;
    }
    return answers;
}

std::optional<std::vector<std::int32_t>> answer_codes_of(std::span<const std::uint8_t> requests) {
    GPS::memory_istream in(requests.data(), requests.size());
    std::vector<std::int32_t> codes;
    while (in.remaining() != 0) {
        const std::int32_t code = read_int(in);
        if (in.failed()) {
            return std::nullopt;
        }
        if (!is_request(code)) {
            codes.push_back(code);
            continue;
        }
        if (!skip_arguments(in, code)) {
            return std::nullopt;
        }
        if (code != static_cast<std::int32_t>(RequestCode::Quit)) {
            codes.push_back(code);
        }
    }
    return codes;
}

}  // namespace tarnwick::client
