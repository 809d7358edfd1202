#pragma once
// Small helpers shared by the sentence-model tests.

#include <string>
#include <string_view>
#include <vector>

#include "nmea/listener.h"
#include "nmea/parser.h"
#include "nmea/record.h"

namespace tarnwick::test {

// "$" + body + "*" + the two upper-case checksum digits.
std::string with_checksum(std::string_view body);

// The record's serialized bytes as lowercase hex.
std::string serialized_hex(const CNMEARecord& record);

// Parses a copy of the text; end is the end of the text (as if the CR followed it).
bool parse_text(CNMEAParser& parser, std::string text, CNMEAListener* listener = nullptr);

// Every line from "$" up to its CR (or LF), as the serial framing hands it over.
std::vector<std::string> sentences_of(const std::string& bytes);

// Keeps what a reader's listener would see: each delivery's id and serialized bytes.
class RecordingListener final : public CNMEAListener {
  public:
    struct Delivery {
        int id;
        std::string hex;
    };
    void on_message(int id, CNMEARecord* record) override {
        deliveries.push_back({id, serialized_hex(*record)});
    }
    void set_state(int state) override { states.push_back(state); }

    std::vector<Delivery> deliveries;
    std::vector<int> states;
};

}  // namespace tarnwick::test
