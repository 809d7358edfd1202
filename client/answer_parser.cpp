#include "client/answer_parser.h"

#include "client/protocol_codes.h"
#include "client/record_conversion.h"
#include "client/wire_reading.h"
#include "exchange/memory_stream.h"
#include "nmea/rmc_record.h"

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
                CRMCRecord fix;
                fix.deserialize(in);
                answer.fix = to_rmc(fix);
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

// The length of the whole answer at the start of `bytes`, whichever request it answers; 0 when
// the bytes do not start with one.
std::size_t answer_length(std::span<const std::uint8_t> bytes) {
    GPS::memory_istream code_only(bytes.data(), bytes.size());
    const std::int32_t code = read_int(code_only);
    const bool answered =
        code == no_such_request ||
        (is_request(code) && code != static_cast<std::int32_t>(RequestCode::Quit));
    if (code_only.failed() || !answered) {
        return 0;
    }
    GPS::memory_istream in(bytes.data(), bytes.size());
    Answer scratch;
    return read_answer(in, code, scratch) ? in.position() : 0;
}

std::optional<std::vector<Answer>> parse_exactly(std::span<const std::uint8_t> bytes,
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

}  // namespace

std::optional<std::vector<Answer>> parse_answers(std::span<const std::uint8_t> bytes,
                                                 std::span<const std::int32_t> codes) {
    // A client killed between writing its requests and letting go of "in" never announced
    // them: they are served in one batch with the next client's, whose answers then follow
    // theirs. Whole answers are passed over until the rest is exactly ours.
    for (std::span<const std::uint8_t> rest = bytes;;) {
        if (auto ours = parse_exactly(rest, codes)) {
            return ours;
        }
        const std::size_t skipped = answer_length(rest);
        if (skipped == 0) {
            return std::nullopt;
        }
        rest = rest.subspan(skipped);
    }
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
