#include "nmeaio/sentence_dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One log for the recorder and the listener, so that the test sees their order.
struct EventLog {
    std::vector<std::string> events;
};

class LoggingRecorder final : public GPS::ostream {
  public:
    explicit LoggingRecorder(EventLog& log) : log_(log) {}
    void write(const void* src, int n) override {
        log_.events.push_back(
            "record " + std::string(static_cast<const char*>(src), static_cast<std::size_t>(n)));
    }

  private:
    EventLog& log_;
};

class LoggingListener final : public CNMEAListener {
  public:
    explicit LoggingListener(EventLog& log) : log_(log) {}
    void on_message(int id, CNMEARecord*) override {
        log_.events.push_back("deliver " + std::to_string(id));
    }
    void set_state(int) override {}

  private:
    EventLog& log_;
};

std::vector<std::string> assemble_and_dispatch(SentenceFraming framing, const std::string& input,
                                               bool with_recorder) {
    EventLog log;
    LoggingRecorder recorder(log);
    LoggingListener listener(log);
    CNMEAParser parser;
    CSentenceAssembler assembler(framing);
    assembler.feed(input.data(), input.size(), [&](const CompleteSentence& sentence) {
        const bool parsed = dispatch_sentence(
            sentence, framing, with_recorder ? &recorder : nullptr, parser, &listener);
        log.events.push_back(parsed ? "ok" : "refused");
    });
    return log.events;
}

const std::string porza = "$PORZA,1,2,3*4A\r\n";

TEST(SentenceDispatch, RecordsTheIntactTextBeforeParsingCutsIt) {
    EXPECT_EQ(assemble_and_dispatch(SentenceFraming::Stream, porza, true),
              (std::vector<std::string>{"record " + porza, "deliver 6", "ok"}));
    // The replay records the sentence through its single terminating byte.
    EXPECT_EQ(assemble_and_dispatch(SentenceFraming::File, porza, true),
              (std::vector<std::string>{"record $PORZA,1,2,3*4A\r", "deliver 6", "ok"}));
}

TEST(SentenceDispatch, RefusedSentencesAreRecordedToo) {
    const std::string bad = "$PORZA,1,2,3*00\r\n";
    EXPECT_EQ(assemble_and_dispatch(SentenceFraming::Stream, bad, true),
              (std::vector<std::string>{"record " + bad, "refused"}));
}

TEST(SentenceDispatch, WithoutRecorderOnlyParses) {
    EXPECT_EQ(assemble_and_dispatch(SentenceFraming::Stream, porza + porza, false),
              (std::vector<std::string>{"deliver 6", "ok", "deliver 6", "ok"}));
}

TEST(SentenceDispatch, ParsingStopsAtTheCarriageReturnOfCrCrLf) {
    // The first CR is part of the stream sentence, so the checksum text reads "4A\r", which
    // still converts to 0x4A.
    EXPECT_EQ(assemble_and_dispatch(SentenceFraming::Stream, "$PORZA,1,2,3*4A\r\r\n", false),
              (std::vector<std::string>{"deliver 6", "ok"}));
}

}  // namespace
