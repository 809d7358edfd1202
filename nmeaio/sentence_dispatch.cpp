#include "nmeaio/sentence_dispatch.h"

#include "base/trace.h"

bool dispatch_sentence(const CompleteSentence& sentence, SentenceFraming framing,
                       GPS::ostream* recorder, CNMEAParser& parser, CNMEAListener* listener) {
    if (recorder != nullptr) {
        recorder->write(sentence.text, static_cast<int>(sentence.length));
    }
    const bool parsed = parser.parse(sentence.text, sentence.parse_end, listener);
    if (!parsed && framing == SentenceFraming::Stream) {
        trace(L"parse line : %s", parse_result_name(parser.last_result));
    }
    return parsed;
}
