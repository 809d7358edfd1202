// Any bytes as the payload of the "in" channel, served request by request by the real dispatcher
// of a data server, as the main thread serves a batch. Every answer must be exactly what the
// client library recognises as the answer to that request code.
//
// The server's inputs are the real ones in a private namespace: an empty registry (no remembered
// port), a port map with one port whose device does not exist (the machine's own serial devices
// are hidden, so a Connect scan fails at once instead of probing hardware for seconds), a stored
// valid fix, so that GetValidRMC answers with a record, and one input of each other kind under
// the name "a": a replay file in the working directory and a shared-memory producer with a block
// published. The names of ConnectPort, OpenFile, StartWrite and OpenMemory may hold anything but
// a '/' (which becomes '_'): relative to a working directory that holds only "a" and what
// recordings add during one input, they can reach no device and no file elsewhere. So a request
// opens "a", or a port or file that fails at once, and recordings stay in that directory.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
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
#include "platform/win32.h"
#include "protocol/producer_block.h"
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

// Keeps the counted name at `at` inside the working directory: a '/' becomes '_', every other
// character stays (the count too). Counts the service refuses and truncated names stay as they
// are.
void confine_name(std::vector<std::uint8_t>& bytes, std::size_t at) {
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
        if (unit[0] == '/' && unit[1] == 0) {
            unit[0] = '_';
        }
    }
}

std::string epoch_text() {
    std::string text;
    for (const char* body : {"GPRMC,093000.00,A,4530.10200,N,07334.03800,W,0.000,62.00,140326,,,A",
                             "GPGGA,093000.00,4530.10200,N,07334.03800,W,1,12,1.10,36.0,M,,M,,",
                             "GPVTG,62.00,T,76.20,M,0.000,N,0.000,K,A"}) {
        unsigned checksum = 0;
        for (const char* c = body; *c != '\0'; ++c) {
            checksum ^= static_cast<unsigned char>(*c);
        }
        char tail[8];
        std::snprintf(tail, sizeof tail, "*%02X\r\n", checksum);
        text += std::string("$") + body + tail;
    }
    return text;
}

// The producer "a": its objects stay open for the whole process, its block holds one epoch, and
// its event is set again before every OpenMemory, so that a start never waits for a block.
class Producer {
  public:
    Producer() {
        namespace block = tarnwick::protocol::producer_block;
        map_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  block::mapping_size, block::map_name(L"a").c_str());
        void* view = map_ != nullptr ? MapViewOfFile(map_, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
        mutex_ = CreateMutexW(nullptr, FALSE, block::mutex_name(L"a").c_str());
        event_ = CreateEventW(nullptr, FALSE, FALSE, block::event_name(L"a").c_str());
        if (view == nullptr || mutex_ == nullptr || event_ == nullptr) {
            std::abort();
        }
        const std::string text = epoch_text();
        const auto size = static_cast<std::uint32_t>(text.size());
        auto* bytes = static_cast<char*>(view);
        std::memcpy(bytes + block::size_offset, &size, sizeof size);
        std::memcpy(bytes + block::text_offset, text.data(), text.size());
    }
    void publish() const { EventModify(event_, EVENT_SET); }

  private:
    HANDLE map_ = nullptr;
    HANDLE mutex_ = nullptr;
    HANDLE event_ = nullptr;
};

const Producer& producer() {
    static const Producer* const published = new Producer();
    return *published;
}

// Leaves only the replay file "a" in the working directory: a few pages of epochs, so that a
// file that changes under its replay may end before the replay's mapped view does.
void reset_working_directory() {
    const std::filesystem::path work = std::filesystem::current_path();
    for (const auto& entry : std::filesystem::directory_iterator(work)) {
        std::filesystem::remove_all(entry.path());
    }
    const std::string epoch = epoch_text();
    std::string text;
    while (text.size() < 3 * 4096) {
        text += epoch;
    }
    tarnwick::fuzz::write_whole_file(work / "a", text.data(), text.size());
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
    producer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> requests(data, data + size);
    static std::vector<std::uint8_t> answer_buffer(channel_payload);
    const tarnwick::fuzz::private_working_directory inside;
    reset_working_directory();
    auto server = std::make_unique<CDataServer>();

    std::vector<std::int32_t> answered_codes;
    std::size_t at = 0;
    while (at < requests.size()) {
        const std::size_t left = requests.size() - at;
        const std::int32_t code = left >= 4 ? int_at(requests.data() + at) : 0;
        if (left >= 4 && carries_a_name(code)) {
            confine_name(requests, at + 4);
        }
        if (code == static_cast<std::int32_t>(RequestCode::OpenMemory)) {
            producer().publish();
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
