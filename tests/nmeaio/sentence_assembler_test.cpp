#include "nmeaio/sentence_assembler.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Delivered {
    std::string recorded;  // what a recorder receives
    std::string parsed;    // what the parser examines, from '$' to the parse end

    bool operator==(const Delivered&) const = default;
};

void PrintTo(const Delivered& d, std::ostream* os) {
    *os << testing::PrintToString(d.recorded) << " / " << testing::PrintToString(d.parsed);
}

struct Outcome {
    std::vector<Delivered> sentences;
    std::uint64_t overruns = 0;
    std::uint64_t restarts = 0;
    bool pending = false;

    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << testing::PrintToString(o.sentences) << " overruns=" << o.overruns
        << " restarts=" << o.restarts << " pending=" << o.pending;
}

// Feeds input in pieces that end at the given offsets (ascending, inside the input).
Outcome assemble(SentenceFraming framing, const std::string& input,
                 const std::vector<std::size_t>& cuts = {}) {
    // On the heap, so that AddressSanitizer sees any write past the line.
    auto assembler = std::make_unique<CSentenceAssembler>(framing);
    Outcome outcome;
    auto sink = [&](const CompleteSentence& s) {
        outcome.sentences.push_back(
            {std::string(s.text, s.length),
             std::string(s.text, static_cast<std::size_t>(s.parse_end - s.text))});
    };
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        assembler->feed(input.data() + from, cut - from, sink);
        from = cut;
    }
    assembler->feed(input.data() + from, input.size() - from, sink);
    outcome.overruns = assembler->overruns();
    outcome.restarts = assembler->restarts();
    outcome.pending = assembler->in_sentence();
    return outcome;
}

// The outcome must not depend on where the chunks of the input begin and end.
void expect_same_for_every_split(SentenceFraming framing, const std::string& input,
                                 const Outcome& expected) {
    EXPECT_EQ(assemble(framing, input), expected) << "whole input";
    std::vector<std::size_t> bytes;
    for (std::size_t i = 1; i < input.size(); ++i) {
        bytes.push_back(i);
    }
    EXPECT_EQ(assemble(framing, input, bytes), expected) << "one byte at a time";
    for (std::size_t i = 1; i < input.size(); ++i) {
        ASSERT_EQ(assemble(framing, input, {i}), expected) << "split at " << i;
    }
    if (input.size() <= 80) {
        for (std::size_t i = 1; i < input.size(); ++i) {
            for (std::size_t j = i + 1; j < input.size(); ++j) {
                ASSERT_EQ(assemble(framing, input, {i, j}), expected)
                    << "split at " << i << " and " << j;
            }
        }
    }
}

struct Case {
    const char* name;
    std::string input;
    Outcome expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::string case_name(const testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

class StreamFraming : public testing::TestWithParam<Case> {};

TEST_P(StreamFraming, DeliversExactlyTheExpectedSentencesForEverySplit) {
    expect_same_for_every_split(SentenceFraming::Stream, GetParam().input, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StreamFraming,
    testing::Values(Case{"bytes_before_dollar_are_ignored",
                         "xx\r\n*,$GPGGA,1*4A\r\n",
                         {{{"$GPGGA,1*4A\r\n", "$GPGGA,1*4A"}}}},
                    Case{"dollar_inside_restarts",
                         "$GPRMC,1$GPGLL,2\r\n",
                         {{{"$GPGLL,2\r\n", "$GPGLL,2"}}, 0, 1}},
                    Case{"lone_lf_stays_in_the_sentence", "$A\nB\r\n", {{{"$A\nB\r\n", "$A\nB"}}}},
                    Case{"lone_cr_stays_in_the_sentence", "$A\rB\r\n", {{{"$A\rB\r\n", "$A\rB"}}}},
                    Case{"cr_cr_lf_ends_at_the_lf_parse_end_at_second_cr",
                         "$A\r\r\n",
                         {{{"$A\r\r\n", "$A\r"}}}},
                    Case{"lf_cr_lf", "$A\n\r\n", {{{"$A\n\r\n", "$A\n"}}}},
                    Case{"empty_sentence", "$\r\n", {{{"$\r\n", "$"}}}},
                    Case{"consecutive_sentences_and_an_unfinished_tail",
                         "$A,1\r\n$B,2\r\n$C,3",
                         {{{"$A,1\r\n", "$A,1"}, {"$B,2\r\n", "$B,2"}}, 0, 0, true}},
                    Case{"repeated_dollars", "$$$A\r\n", {{{"$A\r\n", "$A"}}, 0, 2}},
                    Case{"binary_noise_between_sentences",
                         std::string("$A\r\n\0\xff\x80\r\n\n$B\r\n", 14),
                         {{{"$A\r\n", "$A"}, {"$B\r\n", "$B"}}}},
                    Case{"nul_bytes_inside_a_sentence_are_kept",
                         std::string("$A\0B\r\n", 6),
                         {{{std::string("$A\0B\r\n", 6), std::string("$A\0B", 4)}}}},
                    Case{"nothing_at_all", "", {}}, Case{"no_dollar", "GPGGA,1*4A\r\n", {}}),
    case_name);

class FileFraming : public testing::TestWithParam<Case> {};

TEST_P(FileFraming, DeliversExactlyTheExpectedSentencesForEverySplit) {
    expect_same_for_every_split(SentenceFraming::File, GetParam().input, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FileFraming,
    testing::Values(
        Case{"cr_lf_ends_at_the_cr_and_the_lf_is_dropped",
             "$A,1\r\n$B,2\r\n",
             {{{"$A,1\r", "$A,1"}, {"$B,2\r", "$B,2"}}}},
        Case{"lone_lf_ends", "$A,1\n$B,2\n", {{{"$A,1\n", "$A,1"}, {"$B,2\n", "$B,2"}}}},
        Case{"lone_cr_ends", "$A,1\r$B,2\r", {{{"$A,1\r", "$A,1"}, {"$B,2\r", "$B,2"}}}},
        Case{"lf_cr_ends_at_the_lf", "$A\n\r", {{{"$A\n", "$A"}}}},
        Case{"dollar_inside_restarts_silently",
             "$GPRMC,1$GPGLL,2\r\n",
             {{{"$GPGLL,2\r", "$GPGLL,2"}}, 0, 1}},
        Case{"empty_sentence", "$\n", {{{"$\n", "$"}}}},
        Case{"blank_lines_and_noise_are_ignored", "\r\n\r\nnoise\n$A\r\n", {{{"$A\r", "$A"}}}},
        Case{"unfinished_tail", "$A\r\n$B,2", {{{"$A\r", "$A"}}, 0, 0, true}}),
    case_name);

// A sentence of exactly `length` bytes: '$', filler, then the given ending.
std::string sentence_of_length(std::size_t length, const std::string& ending) {
    return "$" + std::string(length - 1 - ending.size(), 'x') + ending;
}

TEST(SentenceOverrun, StreamSentenceThatFillsTheLineIsStillDelivered) {
    const std::string full = sentence_of_length(CSentenceAssembler::line_size, "\r\n");
    expect_same_for_every_split(SentenceFraming::Stream, full + "$B\r\n",
                                {{{full, full.substr(0, full.size() - 2)}, {"$B\r\n", "$B"}}});
}

TEST(SentenceOverrun, StreamSentenceOneByteTooLongIsDroppedUntilTheNextDollar) {
    // The CR is the 1024th byte: the line is full before the LF arrives.
    const std::string too_long = sentence_of_length(CSentenceAssembler::line_size + 1, "\r\n");
    expect_same_for_every_split(SentenceFraming::Stream, too_long + "B\r\n$C\r\n",
                                {{{"$C\r\n", "$C"}}, 1, 0});
}

TEST(SentenceOverrun, StreamLoneLfAsTheLastByteOfTheLineOverruns) {
    const std::string input = sentence_of_length(CSentenceAssembler::line_size, "\n");
    expect_same_for_every_split(SentenceFraming::Stream, input + "\r\n$C\r\n",
                                {{{"$C\r\n", "$C"}}, 1, 0});
}

TEST(SentenceOverrun, DollarAsTheLastByteOfTheLineRestartsInsteadOfOverrunning) {
    const std::string input = sentence_of_length(CSentenceAssembler::line_size, "$") + "B\r\n";
    expect_same_for_every_split(SentenceFraming::Stream, input, {{{"$B\r\n", "$B"}}, 0, 1});
    expect_same_for_every_split(SentenceFraming::File, input, {{{"$B\r", "$B"}}, 0, 1});
}

TEST(SentenceOverrun, FileSentenceUpToTheLineIsDeliveredLongerIsDropped) {
    const std::string full = sentence_of_length(CSentenceAssembler::line_size, "\r");
    expect_same_for_every_split(SentenceFraming::File, full + "\n",
                                {{{full, full.substr(0, full.size() - 1)}}});
    const std::string too_long = sentence_of_length(CSentenceAssembler::line_size + 1, "\n");
    expect_same_for_every_split(SentenceFraming::File, too_long + "$C\n", {{{"$C\n", "$C"}}, 1, 0});
}

TEST(SentenceOverrun, LongRunsWithoutEndingDropOnceAndRecover) {
    for (SentenceFraming framing : {SentenceFraming::Stream, SentenceFraming::File}) {
        const std::string noise = "$" + std::string(10000, 'x');
        const Outcome outcome = assemble(framing, noise + "$A\r\n");
        ASSERT_EQ(outcome.sentences.size(), 1u);
        EXPECT_EQ(outcome.sentences[0].parsed, "$A");
        EXPECT_EQ(outcome.overruns, 1u);
    }
}

TEST(SentenceSink, ThrowingSinkLeavesTheAssemblerReadyForTheNextSentence) {
    CSentenceAssembler assembler(SentenceFraming::Stream);
    const std::string input = "$A\r\n$B\r\n";
    int calls = 0;
    auto sink = [&](const CompleteSentence&) {
        if (++calls == 1) {
            throw std::runtime_error("sink failed");
        }
    };
    EXPECT_THROW(assembler.feed(input.data(), 4, sink), std::runtime_error);
    EXPECT_FALSE(assembler.in_sentence());
    assembler.feed(input.data() + 4, input.size() - 4, sink);
    EXPECT_EQ(calls, 2);
}

}  // namespace

namespace {

// The framing rules exactly as they read, one byte at a time, to check the scanning version
// against on inputs that no table foresees.
Outcome assemble_byte_by_byte(SentenceFraming framing, const std::string& input) {
    Outcome outcome;
    std::string line;
    bool inside = false;
    for (const char byte : input) {
        if (!inside) {
            if (byte == '$') {
                line = "$";
                inside = true;
            }
            continue;
        }
        if (byte == '$') {
            line = "$";
            ++outcome.restarts;
            continue;
        }
        line.push_back(byte);
        const bool file_end = framing == SentenceFraming::File && (byte == '\r' || byte == '\n');
        const bool stream_end =
            framing == SentenceFraming::Stream && byte == '\n' && line[line.size() - 2] == '\r';
        if (file_end || stream_end) {
            outcome.sentences.push_back({line, line.substr(0, line.size() - (file_end ? 1 : 2))});
            inside = false;
        } else if (line.size() == CSentenceAssembler::line_size) {
            ++outcome.overruns;
            inside = false;
        }
    }
    outcome.pending = inside;
    return outcome;
}

TEST(SentenceAssembly, AgreesWithTheBytewiseRulesOnRandomInput) {
    std::mt19937 random(20261209);
    const std::string alphabet("$$\r\r\n\n,*xyz\0", 13);
    for (int round = 0; round < 400; ++round) {
        // Long runs without markers now and then, so that overruns happen too.
        std::string input;
        const int pieces = static_cast<int>(random() % 60);
        for (int i = 0; i < pieces; ++i) {
            if (random() % 16 == 0) {
                input.append(random() % 1500, 'x');
            } else {
                input.push_back(alphabet[random() % alphabet.size()]);
            }
        }
        std::vector<std::size_t> cuts;
        for (std::size_t at = 1; at < input.size(); at += 1 + random() % 97) {
            cuts.push_back(at);
        }
        for (SentenceFraming framing : {SentenceFraming::Stream, SentenceFraming::File}) {
            ASSERT_EQ(assemble(framing, input, cuts), assemble_byte_by_byte(framing, input))
                << "round " << round;
        }
    }
}

}  // namespace
