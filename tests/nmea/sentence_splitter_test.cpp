// The framing pass reads blocks of characters at a time; it must agree exactly with the plain
// character-by-character reading of the rules, wherever separators and end fall.

#include "nmea/sentence_splitter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace tarnwick::nmea {
namespace {

struct Split {
    SplitOutcome outcome;
    std::vector<std::ptrdiff_t> field_offsets;
    std::string text_after;
};

// The rules, one character at a time.
Split reference_split(std::string text, std::size_t end_offset, int max_fields) {
    Split result{SplitOutcome::NotConfirmed, {}, {}};
    unsigned checksum = 0;
    for (std::size_t i = 0; i < end_offset; ++i) {
        const char c = text[i];
        if (c == '*') {
            text[i] = '\0';
            const std::string digits = text.substr(i + 1, end_offset - i - 1);
            result.outcome = std::strtol(digits.c_str(), nullptr, 16) == static_cast<long>(checksum)
                                 ? SplitOutcome::Confirmed
                                 : SplitOutcome::NotConfirmed;
            break;
        }
        checksum ^= static_cast<unsigned char>(c);
        if (c == ',') {
            text[i] = '\0';
            if (static_cast<int>(result.field_offsets.size()) == max_fields) {
                result.outcome = SplitOutcome::TooManyFields;
                break;
            }
            result.field_offsets.push_back(static_cast<std::ptrdiff_t>(i + 1));
        }
    }
    result.text_after = text;
    return result;
}

Split fast_split(std::string text, std::size_t end_offset, int max_fields) {
    // Exactly end_offset bytes of its own, so that ASan catches any read at or past end.
    std::vector<char> bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end_offset));
    std::vector<char*> fields(static_cast<std::size_t>(max_fields) + 1, nullptr);
    int count = -1;
    char* begin = bytes.data();
    Split result{
        split_sentence(begin, begin + end_offset, fields.data(), max_fields, count), {}, {}};
    for (int i = 1; i <= count; ++i) {
        result.field_offsets.push_back(fields[static_cast<std::size_t>(i)] - begin);
    }
    result.text_after = std::string(bytes.begin(), bytes.end()) + text.substr(end_offset);
    return result;
}

void expect_same(const std::string& text, std::size_t end_offset, int max_fields) {
    const Split expected = reference_split(text, end_offset, max_fields);
    const Split actual = fast_split(text, end_offset, max_fields);
    ASSERT_EQ(actual.outcome, expected.outcome) << text << " end " << end_offset;
    ASSERT_EQ(actual.field_offsets, expected.field_offsets) << text;
    ASSERT_EQ(actual.text_after, expected.text_after) << text;
}

std::string with_star_checksum(const std::string& body) {
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    return body + "*" + digits;
}

TEST(SentenceSplitter, AgreesWithTheCharacterRulesOnRandomText) {
    std::mt19937 rng(7);
    const char alphabet[] = ",,,,*ABC0123456789.\xA7\x80 ";
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        const int length = static_cast<int>(rng() % 80);
        for (int k = 0; k < length; ++k) {
            text += alphabet[rng() % (sizeof alphabet - 1)];
        }
        if (rng() % 2 == 0) {
            text = with_star_checksum(text);  // a correct checksum after the first "*" or not
        }
        const std::size_t end_offset = text.empty() ? 0 : rng() % (text.size() + 1);
        const int max_fields = rng() % 4 == 0 ? static_cast<int>(rng() % 8) : 99;
        expect_same(text, end_offset, max_fields);
    }
}

TEST(SentenceSplitter, SeparatorsAtEveryBlockPosition) {
    for (std::size_t position = 0; position < 40; ++position) {
        for (const char separator : {',', '*'}) {
            std::string body(40, 'x');
            body[position] = separator;
            const std::string text = with_star_checksum(body);
            expect_same(text, text.size(), 99);
            expect_same(text, position, 99);
            expect_same(text, position + 1, 99);
        }
    }
}

TEST(SentenceSplitter, HundredthCommaInsideABlock) {
    for (int extra = 0; extra < 20; ++extra) {
        const std::string text = std::string(static_cast<std::size_t>(extra), 'x') +
                                 std::string(99, ',') + "," + std::string(20, 'y') + "*00";
        expect_same(text, text.size(), 99);
    }
}

}  // namespace
}  // namespace tarnwick::nmea
