// The file replay thread: one byte at a time from the mapped file, sentences in the file
// framing, a pause after each RMC that sets the pace (replay_pace.h), and the end of the file
// (or, with loop, the start again).

#include "nmeaio/nmea_io.h"
#include "nmeaio/replay_pace.h"

DWORD CNMEAIO::read_file_proc() {
    const DWORD pause_ms = replay_pause_ms(speed);
    for (;;) {
        if (stop_requested) {
            return 0;
        }
        if (file.eof()) {
            if (!loop) {
                return ERROR_HANDLE_EOF;
            }
            // The sentence being built survives the rewind: the file's first '$' restarts it.
            file.rewind();
            if (file.eof()) {  // closed: nothing to loop over
                return ERROR_HANDLE_EOF;
            }
            continue;
        }
        char byte = 0;
        file.read(&byte, 1);
        bool pause = false;
        assembler.feed(&byte, 1, [&](const CompleteSentence& sentence) {
            deliver(sentence);
            // As in the recording's pace: a sentence after an RMC that delivers nothing new
            // pauses again, since last_message keeps its value.
            pause = parser.last_message == NMEAMessageId::RMC;
        });
        if (pause && pause_ms != 0 && WaitForSingleObject(stop_event, pause_ms) == WAIT_OBJECT_0) {
            return 0;
        }
    }
}
