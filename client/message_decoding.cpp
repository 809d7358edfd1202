#include "client/message_decoding.h"

#include "client/protocol_codes.h"
#include "client/record_conversion.h"
#include "client/scan_event_names.h"
#include "client/wire_reading.h"
#include "exchange/memory_stream.h"
#include "protocol/record_sizes.h"

namespace tarnwick::client {
namespace {

// An EndScan summary lists the ports of one scan: no more than the scanner can hold.
constexpr std::int32_t max_summary_ports = 64;
constexpr std::int32_t max_port_rates = 5;
constexpr std::size_t id_size = 4;

bool read_scan_event(GPS::memory_istream& in, ScanEvent& scan) {
    bool refused = false;
    scan.code = read_int(in);
    scan.port = read_text(in, refused);
    scan.value = read_int(in);
    if (scan.code != scan_end || refused || in.failed()) {
        return !refused && !in.failed();
    }
    const std::int32_t ports = read_int(in);
    if (ports < 0 || ports > max_summary_ports) {
        return false;
    }
    for (std::int32_t i = 0; i < ports && !refused && !in.failed(); ++i) {
        ScanPortRates entry;
        entry.port = read_text(in, refused);
        const std::int32_t rates = read_int(in);
        if (rates < 0 || rates > max_port_rates) {
            return false;
        }
        for (std::int32_t r = 0; r < rates; ++r) {
            entry.rates.push_back(read_int(in));
        }
        scan.summary.push_back(std::move(entry));
    }
    return !refused && !in.failed();
}

bool carries_tick(std::int32_t id, bool tstamp) noexcept {
    return tstamp && id == TARNWICK_RMC;
}

// Reads one message from the stream; false when it is not a whole message of a known id.
bool read_message(GPS::memory_istream& in, bool tstamp, StreamMessage& out) {
    out.id = read_int(in);
    if (in.failed()) {
        return false;
    }
    if (carries_tick(out.id, tstamp)) {
        out.tick = static_cast<std::uint32_t>(read_int(in));
    }
    if ((out.record = read_record(out.id, in))) {
        return !in.failed();
    }
    switch (out.id) {
        case scan_event_id:
            return read_scan_event(in, out.scan);
        case input_lost_id:
        case input_ended_id:
            return true;
        case reconnected_id:
            out.input_mode = read_int(in);
            return !in.failed();
        default:
            return false;
    }
}

// The length a message of `id` has whatever it says; 0 for a scan event and unknown ids.
std::size_t fixed_length(std::int32_t id, bool tstamp) noexcept {
    if (const std::size_t record = protocol::record_size(id); record != 0) {
        return id_size + record + (carries_tick(id, tstamp) ? protocol::rmc_tick_size : 0);
    }
    switch (id) {
        case input_lost_id:
        case input_ended_id:
            return id_size;
        case reconnected_id:
            return id_size + 4;
        default:
            return 0;
    }
}

}  // namespace

std::size_t message_length(std::span<const std::uint8_t> bytes, bool tstamp) {
    GPS::memory_istream in(bytes.data(), bytes.size());
    const std::int32_t id = read_int(in);
    if (in.failed()) {
        return 0;
    }
    if (id == scan_event_id) {
        ScanEvent scratch;
        return read_scan_event(in, scratch) ? in.position() : 0;
    }
    const std::size_t length = fixed_length(id, tstamp);
    return length <= bytes.size() ? length : 0;
}

bool decode_message(std::span<const std::uint8_t> message, bool tstamp, StreamMessage& out) {
    GPS::memory_istream in(message.data(), message.size());
    if (!read_message(in, tstamp, out) || in.remaining() != 0) {
        return false;
    }
    out.body.assign(message.begin() + id_size, message.end());
    return true;
}

}  // namespace tarnwick::client
