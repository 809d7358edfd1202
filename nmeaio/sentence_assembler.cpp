#include "nmeaio/sentence_assembler.h"

#include "base/trace.h"

void CSentenceAssembler::restart_sentence() noexcept {
    ++restarts_;
    if (framing_ == SentenceFraming::Stream) {
        trace(L"CNMEAIO::read_proc: new instruction found befor previous ending");
    }
    begin_sentence();
}

void CSentenceAssembler::drop_overrun() noexcept {
    ++overruns_;
    if (framing_ == SentenceFraming::Stream) {
        trace(L"CNMEAIO::read_proc: buffer overrun");
    }
    in_sentence_ = false;
    write_ = 0;
}
