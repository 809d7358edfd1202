#include "client/channel_bytes.h"

#include "exchange/exchange_reader.h"

namespace tarnwick::client {

std::vector<std::uint8_t> take_stored_bytes(GPS::exchange_buffer& channel) {
    // The reader only tells where the stored run ends by at_end(); reads are bounded by the
    // capacity, so taking one byte at a time is what keeps leftovers of older contents out.
    // A channel holds at most 32 KiB: this costs microseconds.
    std::vector<std::uint8_t> bytes;
    GPS::exchange_reader reader(channel);
    while (!reader.at_end()) {
        std::uint8_t byte = 0;
        reader.read(&byte, 1);
        if (reader.failed()) {
            break;
        }
        bytes.push_back(byte);
    }
    return bytes;
}

}  // namespace tarnwick::client
