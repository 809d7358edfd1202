#include <span>

#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "tools/common/record_hex.h"
#include "tools/common/record_json.h"
#include "tools/tarnwick/message_format.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

using json = nlohmann::ordered_json;

json scan_json(const client::ScanEvent& scan) {
    json out = {{"id", client::scan_event_id},
                {"type", "ScanEvent"},
                {"event", client::scan_event_name(scan.code)},
                {"code", scan.code},
                {"port", narrow(scan.port)},
                {"value", scan.value}};
    if (scan.code == client::scan_end) {
        json summary = json::array();
        for (const client::ScanPortRates& port : scan.summary) {
            summary.push_back({{"port", narrow(port.port)}, {"rates", port.rates}});
        }
        out["summary"] = std::move(summary);
    }
    return out;
}

}  // namespace

json input_mode_json(std::int32_t mode) {
    return {{"mode", mode},
            {"serial", (mode & client::input_serial) != 0},
            {"file", (mode & client::input_file) != 0},
            {"memory", (mode & client::input_memory) != 0},
            {"recording", (mode & client::input_recording) != 0}};
}

json message_json(const client::StreamMessage& message) {
    if (message.record) {
        json out = tools::record_to_json(*message.record);
        if (message.tick) {
            out["tick"] = *message.tick;
        }
        return out;
    }
    switch (message.id) {
        case client::scan_event_id:
            return scan_json(message.scan);
        case client::input_lost_id:
            return {{"id", message.id}, {"type", "InputLost"}};
        case client::input_ended_id:
            return {{"id", message.id}, {"type", "InputEnded"}};
        case client::reconnected_id:
            return {
                {"id", message.id}, {"type", "Reconnected"}, {"input_mode", message.input_mode}};
        default:
            return {{"id", message.id}, {"type", nullptr}};
    }
}

std::string message_raw(const client::StreamMessage& message) {
    std::string line = std::to_string(message.id);
    // The tick is not part of the record's byte form.
    const auto bytes = std::span<const std::uint8_t>(message.body).subspan(message.tick ? 4 : 0);
    if (!bytes.empty()) {
        line += ' ';
        tools::append_hex(line, bytes);
    }
    return line;
}

}  // namespace tarnwick::cli
