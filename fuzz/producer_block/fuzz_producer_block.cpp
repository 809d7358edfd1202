// A shared-memory producer's blocks, as the memory reader takes them: the 4096-byte mapping
// with any size field, any stamp and any bytes, rewritten from its start block after block (what
// a block does not rewrite is left over from the ones before, as in the real mapping). Each
// block goes through the reader's copy of the header and text, then through sentence assembly
// in the stream framing, recording and parsing, with the sentence state carried from block to
// block.
//
// The mapping and the text snapshot are heap blocks of exactly their sizes, so that a read or
// write past either is caught. What must hold: the text taken is the size field's count, at most
// 4084 bytes, byte for byte the block's, and terminated; every recorded sentence runs from '$'
// through CR LF within the 1024-byte line; every record fits a channel message.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "exchange/byte_stream.h"
#include "exchange/memory_stream.h"
#include "nmea/listener.h"
#include "nmea/parser.h"
#include "nmeaio/sentence_assembler.h"
#include "nmeaio/sentence_dispatch.h"
#include "protocol/producer_block.h"

namespace {

namespace block = tarnwick::protocol::producer_block;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Checks each recorded sentence as the recorder would store it.
class SentenceRecorder final : public GPS::ostream {
  public:
    void write(const void* src, int n) override {
        const auto* text = static_cast<const char*>(src);
        require(n >= 3 && static_cast<std::size_t>(n) <= CSentenceAssembler::line_size);
        require(text[0] == '$' && text[n - 2] == '\r' && text[n - 1] == '\n');
    }
};

// Serializes every record into room of one data-stream message.
class RecordChecker final : public CNMEAListener {
  public:
    void on_message(int, CNMEARecord* record) override {
        unsigned char buffer[256];
        GPS::memory_ostream out(buffer, sizeof buffer);
        record->serialize(out);
        require(out.good());
    }
    void set_state(int) override {}
};

void check_taken(const unsigned char* view, const char* text, const block::contents& taken) {
    std::uint32_t size = 0;
    std::int64_t stamp = 0;
    std::memcpy(&size, view + block::size_offset, sizeof size);
    std::memcpy(&stamp, view + block::stamp_offset, sizeof stamp);
    require(taken.size == size && taken.stamp == stamp);
    require(taken.text_size == (size < block::max_text ? size : block::max_text));
    require(std::memcmp(text, view + block::text_offset, taken.text_size) == 0);
    require(text[taken.text_size] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<unsigned char> mapping(block::mapping_size, 0);
    std::vector<char> text(block::max_text + 1);
    CSentenceAssembler assembler(SentenceFraming::Stream);
    CNMEAParser parser;
    SentenceRecorder recorder;
    RecordChecker listener;
    while (input.remaining_bytes() > 0) {
        const auto rewritten = input.ConsumeBytes<unsigned char>(
            input.ConsumeIntegralInRange<std::size_t>(0, block::mapping_size));
        std::copy(rewritten.begin(), rewritten.end(), mapping.begin());
        const block::contents taken = block::copy_block(mapping.data(), text.data());
        check_taken(mapping.data(), text.data(), taken);
        assembler.feed(text.data(), taken.text_size, [&](const CompleteSentence& sentence) {
            dispatch_sentence(sentence, SentenceFraming::Stream, &recorder, parser, &listener);
        });
    }
    return 0;
}
