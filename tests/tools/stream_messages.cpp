#include "tests/tools/stream_messages.h"

#include <string>

#include "client/byte_vector_stream.h"
#include "client/message_decoding.h"
#include "client/protocol_codes.h"
#include "client/scan_event_names.h"
#include "exchange/counted_string.h"
#include "nmea/listener.h"
#include "nmea/parser.h"

namespace tarnwick::test {
namespace {

void write_int(client::byte_vector_ostream& out, std::int32_t value) {
    out.write(&value, sizeof value);
}

client::StreamMessage decoded(const client::byte_vector_ostream& out) {
    client::StreamMessage message;
    if (!client::decode_message(out.bytes(), false, message)) {
        message.id = -1;
    }
    return message;
}

class Serializer final : public CNMEAListener {
  public:
    void on_message(int id, CNMEARecord* record) override {
        client::byte_vector_ostream out;
        write_int(out, id);
        record->serialize(out);
        messages.push_back(decoded(out));
    }
    void set_state(int) override {}

    std::vector<client::StreamMessage> messages;
};

}  // namespace

std::vector<client::StreamMessage> messages_from_nmea(std::string_view sentences) {
    CNMEAParser parser;
    Serializer serializer;
    std::size_t start = 0;
    while (start < sentences.size()) {
        std::size_t end = sentences.find('\n', start);
        if (end == std::string_view::npos) {
            end = sentences.size();
        }
        std::string line(sentences.substr(start, end - start));
        if (!line.empty()) {
            parser.parse(line.data(), line.data() + line.size(), &serializer);
        }
        start = end + 1;
    }
    return std::move(serializer.messages);
}

client::StreamMessage notification_message(std::int32_t id, std::int32_t value) {
    client::byte_vector_ostream out;
    write_int(out, id);
    if (id == client::reconnected_id) {
        write_int(out, value);
    }
    return decoded(out);
}

client::StreamMessage scan_message(std::int32_t code, const std::wstring& port,
                                   std::int32_t value) {
    client::byte_vector_ostream out;
    write_int(out, client::scan_event_id);
    write_int(out, code);
    GPS::write_wstring(out, port.c_str());
    write_int(out, value);
    if (code == client::scan_end) {
        write_int(out, 0);
    }
    return decoded(out);
}

}  // namespace tarnwick::test
