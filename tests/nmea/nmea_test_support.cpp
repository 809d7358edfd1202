#include "tests/nmea/nmea_test_support.h"

#include <cstdio>

#include "exchange/memory_stream.h"

namespace tarnwick::test {

std::string with_checksum(std::string_view body) {
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    return "$" + std::string(body) + "*" + digits;
}

std::string serialized_hex(const CNMEARecord& record) {
    unsigned char bytes[512];
    GPS::memory_ostream out(bytes, sizeof bytes);
    record.serialize(out);
    std::string hex;
    for (std::size_t i = 0; i < out.length(); ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        hex += pair;
    }
    return hex;
}

bool parse_text(CNMEAParser& parser, std::string text, CNMEAListener* listener) {
    // A separate allocation of exactly the text's size, so that ASan sees any read past end.
    std::vector<char> line(text.begin(), text.end());
    char* begin = line.empty() ? nullptr : line.data();
    return parser.parse(begin, begin == nullptr ? nullptr : begin + line.size(), listener);
}

std::vector<std::string> sentences_of(const std::string& bytes) {
    std::vector<std::string> sentences;
    std::size_t start = 0;
    while ((start = bytes.find('$', start)) != std::string::npos) {
        std::size_t stop = bytes.find_first_of("\r\n$", start + 1);
        if (stop == std::string::npos) {
            stop = bytes.size();
        }
        sentences.push_back(bytes.substr(start, stop - start));
        start = stop;
    }
    return sentences;
}

}  // namespace tarnwick::test
