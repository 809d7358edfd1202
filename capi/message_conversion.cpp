#include "capi/message_conversion.h"

#include <type_traits>
#include <variant>

#include "capi/utf8_strings.h"

namespace tarnwick::capi {
namespace {

// The union member that holds a record of each type.
void store(const client::GGA& r, tarnwick_record& u) {
    u.gga = r;
}
void store(const client::GLL& r, tarnwick_record& u) {
    u.gll = r;
}
void store(const client::GSA& r, tarnwick_record& u) {
    u.gsa = r;
}
void store(const client::GSV& r, tarnwick_record& u) {
    u.gsv = r;
}
void store(const client::RMC& r, tarnwick_record& u) {
    u.rmc = r;
}
void store(const client::VTG& r, tarnwick_record& u) {
    u.vtg = r;
}
void store(const client::PORZA& r, tarnwick_record& u) {
    u.porza = r;
}
void store(const client::PORZX& r, tarnwick_record& u) {
    u.porzx = r;
}
void store(const client::GSASystems& r, tarnwick_record& u) {
    u.gsa_systems = r;
}

}  // namespace

void to_c_message(const client::StreamMessage& from, tarnwick_message& to) {
    to = tarnwick_message{};
    to.sequence = from.sequence;
    to.id = from.id;
    if (from.record) {
        to.has_record = 1;
        std::visit([&](const auto& record) { store(record, to.record); }, *from.record);
    }
    if (from.tick) {
        to.has_tick = 1;
        to.tick = *from.tick;
    }
    if (from.id == TARNWICK_MSG_SCAN_EVENT) {
        to.scan.code = from.scan.code;
        to.scan.port_truncated =
            copy_truncated(from.scan.port, to.scan.port, sizeof to.scan.port) ? 0 : 1;
        to.scan.value = from.scan.value;
        to.scan.summary_count = static_cast<std::uint32_t>(from.scan.summary.size());
    }
    to.input_mode = from.input_mode;
}

}  // namespace tarnwick::capi
