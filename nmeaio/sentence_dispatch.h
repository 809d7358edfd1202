#pragma once
// What every reader does with a complete sentence: record it, then parse it. The order matters:
// parsing cuts the line in place, so the recorder must see the text first.

#include "exchange/byte_stream.h"
#include "nmea/parser.h"
#include "nmeaio/sentence_assembler.h"

// Writes the sentence to recorder (when given), then parses it for listener (may be null).
// A refusal is traced for the stream framing ("parse line : <result>"); a replayed file skips
// its refused sentences silently. Returns parse's result.
bool dispatch_sentence(const CompleteSentence& sentence, SentenceFraming framing,
                       GPS::ostream* recorder, CNMEAParser& parser, CNMEAListener* listener);
