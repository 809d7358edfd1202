// What reaches clients on "data_stream": decoded records, the end of an input and scan steps.
// Each message is composed in a local buffer and appended with one write, so that a message is
// stored whole or not at all.

#include <cstdint>

#include "base/trace.h"
#include "exchange/counted_string.h"
#include "exchange/memory_stream.h"
#include "nmea/field_io.h"
#include "nmea/message_id.h"
#include "nmea/rmc_record.h"
#include "protocol/scan_event.h"
#include "server/data_server.h"
#include "server/port_access.h"

using tarnwick::nmea::write_field;

void CDataServer::append_to_data_stream(const GPS::memory_ostream& message,
                                        tarnwick::server::DataStreamQueue::Overflow overflow) {
    stream_queue.append(message.data(), message.length(), overflow);
}

void CDataServer::on_message(int id, CNMEARecord* record) {
    // After a stop nothing more reaches clients; the last fix kept is the one saved.
    if (record == nullptr || stopping.load()) {
        return;
    }
    unsigned char buffer[message_buffer_size];
    GPS::memory_ostream message(buffer, sizeof buffer);
    write_field(message, static_cast<std::int32_t>(id));
    const bool rmc = id == static_cast<int>(NMEAMessageId::RMC);
    if (rmc && tstamp) {
        write_field(message, static_cast<std::int32_t>(GetTickCount()));
    }
    record->serialize(message);
    if (rmc) {
        if (const auto* fix = dynamic_cast<const CRMCRecord*>(record)) {
            valid_rmc.update_rmc(*fix);
        }
    }
    if (!message.good()) {
        trace(L"CDataServer::on_message(%d): record too long, dropped", id);
        return;
    }
    // No client empties the channel: the service stops; what is stored stays for a late reader.
    append_to_data_stream(message, tarnwick::server::DataStreamQueue::Overflow::stops_service);
}

void CDataServer::set_state(CInputLink& link, int state) {
    trace(L"CDataServer::set_state(%d)", state);
    // A reader taken out before its end came is no longer the input: its end is nobody's news.
    if (!link.claim_end()) {
        return;
    }
    // The main thread takes the reader out; every other holder of port_lock would too.
    EventModify(input_ended_event.get(), EVENT_SET);
    unsigned char buffer[sizeof(std::int32_t)];
    GPS::memory_ostream message(buffer, sizeof buffer);
    write_field(message, state == 1 ? InputEnded : InputLost);
    append_to_data_stream(message);
    InterlockedIncrement(&valid_rmc.save_gate);
    if (state != 1) {
        try_reconnect(link.port_name(), link.baud());
        Sleep(0);
    }
}

std::int32_t CDataServer::set(std::int32_t code, const wchar_t* port, std::int32_t value) {
    trace(L"CDataServer::set(%s,%s,%d)", scan_event_name(code), port != nullptr ? port : L"",
          value);
    unsigned char buffer[message_buffer_size];
    GPS::memory_ostream message(buffer, sizeof buffer);
    write_field(message, ScanEvent);
    write_field(message, code);
    GPS::write_wstring(message, port);
    write_field(message, value);
    if (code == EndScan) {
        write_scan_summary(message);
    }
    if (message.good()) {
        append_to_data_stream(message);
    } else {
        trace(L"CDataServer::set(%s): message too long, dropped", scan_event_name(code));
    }
    return Proceed;
}

void CDataServer::write_scan_summary(GPS::ostream& message) {
    // EndScan comes from the scan's last thread while the scan still counts as running, so the
    // port list cannot change underneath.
    std::int32_t answering = 0;
    for (const CPort& port : scanner.ports) {
        answering += port.found_rate_count() > 0 ? 1 : 0;
    }
    write_field(message, answering);
    for (const CPort& port : scanner.ports) {
        const std::int32_t rates = port.found_rate_count();
        if (rates == 0) {
            continue;
        }
        GPS::write_wstring(message, port.name);
        write_field(message, rates);
        for (std::int32_t i = 0; i < rates; ++i) {
            write_field(message, port.found_rates[i]);
        }
    }
}

void CDataServer::announce_reconnection() {
    std::uint32_t mode = 0;
    {
        PortAccess access(*this);
        mode = access.input_mode();
    }
    unsigned char buffer[2 * sizeof(std::int32_t)];
    GPS::memory_ostream message(buffer, sizeof buffer);
    write_field(message, Reconnected);
    write_field(message, static_cast<std::int32_t>(mode));
    append_to_data_stream(message);
    trace(L"CDataServer::reconect_proc: success");
}
