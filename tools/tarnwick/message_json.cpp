#include <span>

#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "protocol/record_sizes.h"
#include "tools/common/record_hex.h"
#include "tools/common/record_json.h"
#include "tools/tarnwick/message_format.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

void write_scan(tools::JsonWriter& json, const client::ScanEvent& scan) {
    json.key("type").string("ScanEvent");
    json.key("event").string(client::scan_event_name(scan.code));
    json.key("code").integer(scan.code);
    json.key("port").string(narrow(scan.port));
    json.key("value").integer(scan.value);
    if (scan.code == client::scan_end) {
        json.key("summary").begin_array();
        for (const client::ScanPortRates& port : scan.summary) {
            json.begin_object();
            json.key("port").string(narrow(port.port));
            json.key("rates").begin_array();
            for (const std::int32_t rate : port.rates) {
                json.integer(rate);
            }
            json.end_array();
            json.end_object();
        }
        json.end_array();
    }
}

void write_notification(tools::JsonWriter& json, const client::StreamMessage& message) {
    json.key("id").integer(message.id);
    switch (message.id) {
        case client::scan_event_id:
            write_scan(json, message.scan);
            return;
        case client::input_lost_id:
            json.key("type").string("InputLost");
            return;
        case client::input_ended_id:
            json.key("type").string("InputEnded");
            return;
        case client::reconnected_id:
            json.key("type").string("Reconnected");
            json.key("input_mode").integer(message.input_mode);
            return;
        default:
            json.key("type").null();
            return;
    }
}

}  // namespace

void write_input_mode(tools::JsonWriter& json, std::int32_t mode) {
    json.begin_object();
    json.key("mode").integer(mode);
    json.key("serial").boolean((mode & client::input_serial) != 0);
    json.key("file").boolean((mode & client::input_file) != 0);
    json.key("memory").boolean((mode & client::input_memory) != 0);
    json.key("recording").boolean((mode & client::input_recording) != 0);
    json.end_object();
}

void append_message_json(std::string& out, const client::StreamMessage& message) {
    tools::JsonWriter json(out);
    json.begin_object();
    if (message.record) {
        tools::write_record_members(json, *message.record);
        if (message.tick) {
            json.key("tick").integer(*message.tick);
        }
    } else {
        write_notification(json, message);
    }
    json.end_object();
}

std::string message_raw(const client::StreamMessage& message) {
    std::string line = std::to_string(message.id);
    // The tick is not part of the record's byte form.
    const auto bytes = std::span<const std::uint8_t>(message.body)
                           .subspan(message.tick ? protocol::rmc_tick_size : 0);
    if (!bytes.empty()) {
        line += ' ';
        tools::append_hex(line, bytes);
    }
    return line;
}

}  // namespace tarnwick::cli
