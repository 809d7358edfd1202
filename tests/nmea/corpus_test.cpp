// Real receiver captures (binary noise, CR LF and bare LF included), where they are available.

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "exchange/memory_stream.h"
#include "nmea/field_conversion.h"
#include "nmea/parser.h"
#include "tests/nmea/nmea_test_support.h"
#include "tests/support/test_support.h"

namespace tarnwick::test {
namespace {

std::vector<std::filesystem::path> capture_files() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus_dir())) {
        if (entry.path().extension() == ".log") {
            files.push_back(entry.path());
        }
    }
    return files;
}

constexpr std::size_t serialized_size[] = {51, 25, 48, 184, 41, 20, 12, 13};

// Serializes each delivery, reads it back into a fresh record of the same type and checks that
// nothing changed.
class RoundTripListener final : public CNMEAListener {
  public:
    void on_message(int id, CNMEARecord* record) override {
        ++delivered[id];
        const std::string bytes = serialized_hex(*record);
        EXPECT_EQ(bytes.size(), 2 * serialized_size[id]) << id;
        EXPECT_EQ(round_trip(id, *record), bytes) << id;
    }
    void set_state(int) override {}

    std::map<int, int> delivered;

  private:
    static std::string round_trip(int id, const CNMEARecord& record) {
        switch (id) {
            case 0:
                return again<CGGARecord>(record);
            case 1:
                return again<CGLLRecord>(record);
            case 2:
                return again<CGSARecord>(record);
            case 3:
                return again<CGSVRecord>(record);
            case 4:
                return again<CRMCRecord>(record);
            case 5:
                return again<CVTGRecord>(record);
            case 6:
                return again<CPORZARecord>(record);
            default:
                return again<CPORZXRecord>(record);
        }
    }
    template <typename Record>
    static std::string again(const CNMEARecord& record) {
        unsigned char bytes[256];
        GPS::memory_ostream out(bytes, sizeof bytes);
        record.serialize(out);
        GPS::memory_istream in(bytes, out.length());
        Record copy;
        copy.deserialize(in);
        return serialized_hex(copy);
    }
};

TEST(Corpus, EveryCaptureDecodesAndRoundTrips) {
    TARNWICK_REQUIRE_CORPUS();
    int total_ok = 0;
    for (const auto& file : capture_files()) {
        SCOPED_TRACE(file.filename().string());
        CNMEAParser parser;
        RoundTripListener listener;
        std::map<ParseResult, int> results;
        for (std::string& sentence : sentences_of(read_file(file))) {
            std::vector<char> line(sentence.begin(), sentence.end());
            parser.parse(line.data(), line.data() + line.size(), &listener);
            ++results[parser.last_result];
        }
        total_ok += results[ParseResult::Ok];
    }
    EXPECT_GT(total_ok, 1000);
}

// The fast conversions against the C library on every field of every capture.
TEST(Corpus, FieldConversionsMatchTheCLibrary) {
    TARNWICK_REQUIRE_CORPUS();
    std::size_t compared = 0;
    for (const auto& file : capture_files()) {
        for (const std::string& sentence : sentences_of(read_file(file))) {
            std::size_t start = 1;
            while (start <= sentence.size()) {
                std::size_t stop = sentence.find_first_of(",*", start);
                if (stop == std::string::npos) {
                    stop = sentence.size();
                }
                const std::string field = sentence.substr(start, stop - start);
                const float expected = static_cast<float>(std::strtod(field.c_str(), nullptr));
                ASSERT_EQ(std::bit_cast<std::uint32_t>(nmea::to_float(field.c_str())),
                          std::bit_cast<std::uint32_t>(expected))
                    << field;
                ASSERT_EQ(nmea::to_int(field.c_str()),
                          static_cast<std::int32_t>(std::strtol(field.c_str(), nullptr, 10)))
                    << field;
                ++compared;
                start = stop + 1;
            }
        }
    }
    EXPECT_GT(compared, 10000u);
}

}  // namespace
}  // namespace tarnwick::test
