// The file replay thread: one byte at a time from the mapped file, sentences in the file
// framing, a pause after each RMC that sets the pace (replay_pace.h), and the end of the file
// (or, with loop, the start again).

#include "nmeaio/file_source.h"
#include "nmeaio/nmea_io.h"
#include "nmeaio/replay_pace.h"

CFileSource::CFileSource(const wchar_t* path, bool loop, float speed)
    : path_(path != nullptr ? path : L""), loop_(loop), speed_(speed) {}

std::uint32_t CFileSource::input_flag() const noexcept {
    return INPUT_FILE;
}

DWORD CFileSource::read(CNMEAIO& io) {
    const DWORD pause_ms = replay_pause_ms(speed_);
    for (;;) {
        if (io.stop_requested) {
            return 0;
        }
        if (file_.eof()) {
            if (!loop_) {
                return ERROR_HANDLE_EOF;
            }
            // The sentence being built survives the rewind: the file's first '$' restarts it.
            file_.rewind();
            if (file_.eof()) {  // closed: nothing to loop over
                return ERROR_HANDLE_EOF;
            }
            continue;
        }
        char byte = 0;
        file_.read(&byte, 1);
        bool pause = false;
        io.assembler.feed(&byte, 1, [&](const CompleteSentence& sentence) {
            io.deliver(sentence);
            // As in the recording's pace: a sentence after an RMC that delivers nothing new
            // pauses again, since last_message keeps its value.
            pause = io.parser.last_message == NMEAMessageId::RMC;
        });
        if (pause && pause_ms != 0 &&
            WaitForSingleObject(io.stop_event.get(), pause_ms) == WAIT_OBJECT_0) {
            return 0;
        }
    }
}
