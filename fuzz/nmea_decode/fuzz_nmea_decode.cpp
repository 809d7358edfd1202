// Any bytes through sentence assembly, parsing and serialization, as a reader thread meets
// them. The first byte chooses the framing (even: stream, odd: file) and the size of the
// chunks the rest arrives in. The same bytes fed whole and in chunks must decode alike.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "exchange/memory_stream.h"
#include "nmea/parser.h"
#include "nmeaio/sentence_assembler.h"
#include "nmeaio/sentence_dispatch.h"

namespace {

// Keeps the id and serialized bytes of every delivered record.
class TranscriptListener final : public CNMEAListener {
  public:
    void on_message(int id, CNMEARecord* record) override {
        unsigned char buffer[256];
        GPS::memory_ostream stream(buffer, sizeof buffer);
        stream.write(&id, sizeof id);
        record->serialize(stream);
        if (!stream.good()) {
            std::abort();  // a record larger than any record can be
        }
        transcript.append(reinterpret_cast<const char*>(buffer), stream.length());
    }
    void set_state(int) override {}

    std::string transcript;
};

std::string decode(SentenceFraming framing, const char* data, std::size_t size, std::size_t chunk) {
    auto assembler = std::make_unique<CSentenceAssembler>(framing);
    auto parser = std::make_unique<CNMEAParser>();
    TranscriptListener listener;
    auto sink = [&](const CompleteSentence& sentence) {
        if (!dispatch_sentence(sentence, framing, nullptr, *parser, &listener)) {
            listener.transcript += static_cast<char>(parser->last_result);
        }
    };
    for (std::size_t at = 0; at < size; at += chunk) {
        assembler->feed(data + at, chunk < size - at ? chunk : size - at, sink);
    }
    return listener.transcript;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const SentenceFraming framing =
        data[0] % 2 == 0 ? SentenceFraming::Stream : SentenceFraming::File;
    const std::size_t chunk = 1 + data[0] / 2;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    if (decode(framing, text, length, length == 0 ? 1 : length) !=
        decode(framing, text, length, chunk)) {
        std::abort();  // chunk boundaries changed the outcome
    }
    return 0;
}
