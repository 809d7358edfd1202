// A channel whose shared memory a hostile client controls: it may create the channel first with
// any size and any header, and it may scribble on the header and the payload at any moment,
// without the guard mutex, also while the service holds a reader or a writer on it. The service
// side is the real exchange_buffer, exchange_reader and exchange_writer over the real named
// mapping; the harness keeps its own view of the same memory to see what they do.
//
// What must hold, whatever the client wrote:
// - an adopted capacity is at least the header and never more than the shared memory;
// - a read delivers exactly the bytes at its cursor, inside the capacity, or nothing (dst
//   untouched, the stream failed); a counted string of any count is refused without harm;
// - a write stores its bytes at the cursor, inside the capacity, and sets the length to match,
//   or stores nothing;
// - a closed reader leaves the length 0; a closed writer counts one more write.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "exchange/counted_string.h"
#include "exchange/exchange_buffer.h"
#include "exchange/exchange_header.h"
#include "exchange/exchange_reader.h"
#include "exchange/exchange_writer.h"
#include "fuzz/support/fuzz_namespace.h"
#include "platform/win32.h"

namespace {

namespace header = GPS::exchange_header;

constexpr wchar_t channel_name[] = L"fuzz";
constexpr wchar_t mapping_name[] = L"GPS::EXCHANGE::fuzz";
constexpr int element_size = 1024;
constexpr int element_count = 32;
constexpr std::int32_t service_capacity = element_size * element_count;
constexpr std::uint32_t largest_client_mapping = 2 * service_capacity;
constexpr unsigned max_steps = 64;
constexpr unsigned char untouched = 0xA5;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The client's side of the channel: its own handle and view of the shared memory.
class HostileClient {
  public:
    explicit HostileClient(std::uint32_t size)
        : mapping_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size,
                                      mapping_name)),
          // An existing mapping keeps its size whatever this side asks for: it is the service's.
          size_(GetLastError() == ERROR_ALREADY_EXISTS ? service_capacity : size) {
        require(mapping_ != nullptr);
        view_ = static_cast<unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
        require(view_ != nullptr);
    }
    ~HostileClient() {
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
    }
    HostileClient(const HostileClient&) = delete;
    HostileClient& operator=(const HostileClient&) = delete;

    std::uint32_t size() const { return size_; }
    const unsigned char* view() const { return view_; }

    // Writes fuzzer bytes somewhere in the memory, or one header field.
    void scribble(FuzzedDataProvider& input) {
        if (input.ConsumeBool()) {
            const int offset = 4 * input.ConsumeIntegralInRange(0, 2);
            if (static_cast<std::uint32_t>(offset) + 4 <= size_) {
                store(offset, input.ConsumeIntegral<std::int32_t>());
            }
            return;
        }
        const auto offset = input.ConsumeIntegralInRange<std::uint32_t>(0, size_ - 1);
        const auto bytes = input.ConsumeBytes<unsigned char>(
            input.ConsumeIntegralInRange<std::uint32_t>(0, size_ - offset));
        std::copy(bytes.begin(), bytes.end(), view_ + offset);
    }

    std::int32_t load(int offset) const {
        std::int32_t value = 0;
        std::memcpy(&value, view_ + offset, sizeof value);
        return value;
    }
    void store(int offset, std::int32_t value) {
        std::memcpy(view_ + offset, &value, sizeof value);
    }

  private:
    HANDLE mapping_;
    std::uint32_t size_;
    unsigned char* view_ = nullptr;
};

// A transfer size: mostly near the channel's bounds, sometimes anything at all.
int transfer_size(FuzzedDataProvider& input, std::int32_t capacity) {
    if (input.ConsumeBool()) {
        return input.ConsumeIntegral<int>();
    }
    return input.ConsumeIntegralInRange<int>(-4, capacity + 4);
}

bool fits(std::int32_t cursor, int n, std::int32_t capacity) {
    return n >= 0 && cursor < capacity && n <= capacity - cursor;
}

// Reads as the fuzzer asks until it stops or a read fails; the cursor follows every read.
void read_steps(GPS::exchange_reader& reader, HostileClient& client, FuzzedDataProvider& input,
                std::int32_t capacity) {
    std::int32_t cursor = header::size;
    for (unsigned step = 0; step < max_steps && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 3)) {
            case 0:
                client.scribble(input);
                break;
            case 1:
                static_cast<void>(reader.at_end());
                break;
            case 2: {
                // A refused count costs its 4 bytes only; an accepted one reads its characters.
                const std::int32_t count = fits(cursor, 4, capacity) ? client.load(cursor) : 0;
                static_cast<void>(GPS::read_wstring(reader));
                if (reader.failed()) {
                    return;
                }
                cursor += 4;
                if (count > 0 && count <= GPS::max_wstring_units) {
                    cursor += 2 * count;
                }
                break;
            }
            default: {
                const int n = transfer_size(input, capacity);
                // Room for a read that can succeed; a larger one must not touch it at all.
                std::vector<unsigned char> dst(
                    static_cast<std::size_t>(std::clamp<std::int64_t>(n, 1, capacity)), untouched);
                reader.read(dst.data(), n);
                if (!fits(cursor, n, capacity)) {
                    require(reader.failed());
                    require(std::all_of(dst.begin(), dst.end(),
                                        [](unsigned char b) { return b == untouched; }));
                    return;
                }
                require(!reader.failed());
                require(std::memcmp(dst.data(), client.view() + cursor,
                                    static_cast<std::size_t>(n)) == 0);
                cursor += n;
            }
        }
    }
}

void reader_session(GPS::exchange_buffer& channel, HostileClient& client,
                    FuzzedDataProvider& input) {
    {
        GPS::exchange_reader reader(channel);
        read_steps(reader, client, input, channel.capacity());
    }
    require(client.load(header::length_offset) == 0);
}

void writer_session(GPS::exchange_buffer& channel, HostileClient& client,
                    FuzzedDataProvider& input) {
    const std::int32_t capacity = channel.capacity();
    std::uint32_t writes_before_close = 0;
    {
        const std::int32_t stored = client.load(header::length_offset);
        GPS::exchange_writer writer(channel, nullptr);
        std::int32_t cursor =
            header::size + (stored >= 0 && stored <= capacity - header::size ? stored : 0);
        for (unsigned step = 0; step < max_steps && input.remaining_bytes() > 0; ++step) {
            if (input.ConsumeIntegralInRange(0, 2) == 0) {
                client.scribble(input);
                continue;
            }
            const int n = transfer_size(input, capacity);
            const std::vector<unsigned char> src(
                static_cast<std::size_t>(std::clamp<std::int64_t>(n, 1, capacity)),
                input.ConsumeIntegral<unsigned char>());
            writer.write(src.data(), n);
            if (!fits(cursor, n, capacity)) {
                require(!writer.good());
                continue;
            }
            require(writer.good());
            require(std::memcmp(client.view() + cursor, src.data(), static_cast<std::size_t>(n)) ==
                    0);
            cursor += n;
            require(client.load(header::length_offset) == cursor - header::size);
        }
        writes_before_close = static_cast<std::uint32_t>(client.load(header::sequence_offset));
    }
    require(static_cast<std::uint32_t>(client.load(header::sequence_offset)) ==
            writes_before_close + 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarnwick::fuzz::private_namespace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    GPS::exchange_buffer channel;
    const bool client_first = input.ConsumeBool();
    std::unique_ptr<HostileClient> client;
    bool opened = false;
    if (client_first) {
        client = std::make_unique<HostileClient>(
            input.ConsumeIntegralInRange<std::uint32_t>(1, largest_client_mapping));
        client->scribble(input);
        opened = channel.open(channel_name, element_size, element_count);
    } else {
        opened = channel.open(channel_name, element_size, element_count);
        require(opened && channel.capacity() == service_capacity);
        client = std::make_unique<HostileClient>(service_capacity);
        client->scribble(input);
    }
    if (opened) {
        require(channel.capacity() >= header::size && channel.capacity() >= 0 &&
                static_cast<std::uint32_t>(channel.capacity()) <= client->size());
    } else {
        // A channel that could not be opened refuses everything.
        GPS::exchange_reader reader(channel);
        unsigned char byte = untouched;
        reader.read(&byte, 1);
        require(reader.failed() && byte == untouched && reader.at_end());
        GPS::exchange_writer writer(channel, nullptr);
        writer.write(&byte, 1);
        require(!writer.good());
        return 0;
    }
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeBool()) {
            reader_session(channel, *client, input);
        } else {
            writer_session(channel, *client, input);
        }
    }
    return 0;
}
