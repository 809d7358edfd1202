#include "client/stream_message.h"

#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "client/wire_reading.h"
#include "exchange/memory_stream.h"
#include "nmea/gga_record.h"
#include "nmea/gll_record.h"
#include "nmea/gsa_record.h"
#include "nmea/gsa_systems_record.h"
#include "nmea/gsv_record.h"
#include "nmea/message_id.h"
#include "nmea/porza_record.h"
#include "nmea/porzx_record.h"
#include "nmea/rmc_record.h"
#include "nmea/vtg_record.h"

namespace tarnwick::client {
namespace {

// An EndScan summary lists the ports of one scan: no more than the scanner can hold.
constexpr std::int32_t max_summary_ports = 64;
constexpr std::int32_t max_port_rates = 5;

std::unique_ptr<CNMEARecord> make_record(std::int32_t id) {
    switch (static_cast<NMEAMessageId>(id)) {
        case NMEAMessageId::GGA:
            return std::make_unique<CGGARecord>();
        case NMEAMessageId::GLL:
            return std::make_unique<CGLLRecord>();
        case NMEAMessageId::GSA:
            return std::make_unique<CGSARecord>();
        case NMEAMessageId::GSV:
            return std::make_unique<CGSVRecord>();
        case NMEAMessageId::RMC:
            return std::make_unique<CRMCRecord>();
        case NMEAMessageId::VTG:
            return std::make_unique<CVTGRecord>();
        case NMEAMessageId::PORZA:
            return std::make_unique<CPORZARecord>();
        case NMEAMessageId::PORZX:
            return std::make_unique<CPORZXRecord>();
        case NMEAMessageId::GSASystems:
            return std::make_unique<CGSASystemsRecord>();
        case NMEAMessageId::None:
            break;
    }
    return nullptr;
}

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

// Reads one message from the stream; false when it is not a whole message of a known id.
bool read_message(GPS::memory_istream& in, bool tstamp, StreamMessage& out) {
    out.id = read_int(in);
    if (in.failed()) {
        return false;
    }
    if (auto record = make_record(out.id)) {
        if (out.id == static_cast<std::int32_t>(NMEAMessageId::RMC) && tstamp) {
            out.tick = static_cast<std::uint32_t>(read_int(in));
        }
        record->deserialize(in);
        out.record = std::move(record);
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

}  // namespace

std::size_t message_length(std::span<const std::uint8_t> bytes, bool tstamp) {
    GPS::memory_istream in(bytes.data(), bytes.size());
    StreamMessage scratch;
    return read_message(in, tstamp, scratch) ? in.position() : 0;
}

bool decode_message(std::span<const std::uint8_t> message, bool tstamp, StreamMessage& out) {
    GPS::memory_istream in(message.data(), message.size());
    if (!read_message(in, tstamp, out) || in.remaining() != 0) {
        return false;
    }
    out.body.assign(message.begin() + 4, message.end());
    return true;
}

}  // namespace tarnwick::client
