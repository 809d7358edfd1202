#include "tests/tools/decoded_stream.h"

#include <numeric>

namespace tarnwick::test {

void DecodedStream::feed(std::string_view bytes) {
    assembler_.feed(bytes.data(), bytes.size(), [this](const CompleteSentence& sentence) {
        parser_.parse(sentence.text, sentence.parse_end, &tally_);
    });
}

int DecodedStream::total() const {
    return std::accumulate(std::begin(counts_), std::end(counts_), 0);
}

void DecodedStream::take(int id, CNMEARecord* record) {
    if (id < 0 || id > static_cast<int>(NMEAMessageId::None)) {
        return;
    }
    ++counts_[id];
    if (id == static_cast<int>(NMEAMessageId::RMC)) {
        rmc_statuses_ += static_cast<CRMCRecord*>(record)->status;
    } else if (id == static_cast<int>(NMEAMessageId::PORZX)) {
        porzx_.push_back(*static_cast<CPORZXRecord*>(record));
    }
}

}  // namespace tarnwick::test
