// Any bytes as the payload of the "in" channel, served request by request by the real dispatcher
// of a data server that has no receiver, as the main thread serves a batch. Every answer must be
// exactly what the client library recognises as the answer to that request code.
//
// The server's inputs are the real ones in a private namespace: an empty registry (no remembered
// port), a port map with one port whose device does not exist (the machine's own serial devices
// are hidden, so a Connect scan fails at once instead of probing hardware for seconds), and a
// stored valid fix, so that GetValidRMC answers with a record. The names of ConnectPort,
// OpenFile, StartWrite and OpenMemory are turned into lower-case letters of the same count before
// they are served: a relative name in an empty working directory, never a "COMn" port nor a
// device path, so each open fails at once and no input is ever started. Counts that the service
// refuses, and truncated names, stay as they are.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "client/answer_parser.h"
#include "client/protocol_codes.h"
#include "exchange/counted_string.h"
#include "exchange/memory_stream.h"
#include "fixstore/valid_rmc_files.h"
#include "fuzz/support/fuzz_namespace.h"
#include "nmea/rmc_record.h"
#include "platform/namespace.h"
#include "platform/test_seams.h"
#include "server/data_server.h"

namespace {

using tarnwick::client::RequestCode;

// The payload room of one channel: no answer of one request may need more.
constexpr std::size_t channel_payload = 32768 - 12;

std::int32_t int_at(const std::uint8_t* bytes) {
    std::int32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

bool carries_a_name(std::int32_t code) {
    switch (static_cast<RequestCode>(code)) {
        case RequestCode::ConnectPort:
        case RequestCode::OpenFile:
        case RequestCode::StartWrite:
        case RequestCode::OpenMemory:
            return true;
        default:
            return false;
    }
}

// Turns the counted name at `at` into letters, when its count is one the service accepts and
// all its characters are there.
void neutralise_name(std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (bytes.size() - at < 4) {
        return;
    }
    const std::int32_t count = int_at(bytes.data() + at);
    if (count <= 0 || count > GPS::max_wstring_units ||
        static_cast<std::size_t>(count) * 2 > bytes.size() - at - 4) {
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint8_t* unit = bytes.data() + at + 4 + 2 * static_cast<std::size_t>(i);
        unit[0] = static_cast<std::uint8_t>('a' + (unit[0] ^ unit[1]) % 26);
        unit[1] = 0;
    }
}

void bind_missing_port() {
    tarnwick::platform::testing::hide_discovered_devices();
    if (!tarnwick::platform::bind_port(L"COM1:", tarnwick::fuzz::private_namespace() / "gone")) {
        std::abort();
    }
}

void store_valid_fix() {
    CRMCRecord fix;
    fix.status = 'A';
    CValidRMCFiles files(tarnwick::platform::state_directory().wstring() + L"/");
    if (!files.save(fix)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarnwick::fuzz::private_namespace();
    bind_missing_port();
    store_valid_fix();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> requests(data, data + size);
    static std::vector<std::uint8_t> answer_buffer(channel_payload);
    const tarnwick::fuzz::empty_working_directory nowhere;
    auto server = std::make_unique<CDataServer>();

    std::vector<std::int32_t> answered_codes;
    std::size_t at = 0;
    while (at < requests.size()) {
        const std::size_t left = requests.size() - at;
        const std::int32_t code = left >= 4 ? int_at(requests.data() + at) : 0;
        if (left >= 4 && carries_a_name(code)) {
            neutralise_name(requests, at + 4);
        }
        GPS::memory_istream request(requests.data() + at, left);
        GPS::memory_ostream answer(answer_buffer.data(), answer_buffer.size());
        server->serve_request(request, answer);
        if (!answer.good()) {
            std::abort();  // an answer larger than the channel
        }
        const std::span<const std::uint8_t> answer_bytes(answer.data(), answer.length());
        if (left < 4 || code == static_cast<std::int32_t>(RequestCode::Quit)) {
            if (!answer_bytes.empty()) {
                std::abort();  // no code read, or Quit: no answer at all
            }
        } else {
            const std::int32_t expected[] = {code};
            if (!tarnwick::client::parse_answers(answer_bytes, expected)) {
                std::abort();  // an answer the client cannot take for this request's
            }
            answered_codes.push_back(code);
        }
        if (request.failed() || request.position() == 0) {
            break;  // the batch ends where the channel's bytes do
        }
        at += request.position();
    }

    // Requests the client library can lay out whole are answered, code for code, as it expects.
    const auto expected = tarnwick::client::answer_codes_of(requests);
    if (expected && *expected != answered_codes) {
        std::abort();
    }
    return 0;
}
