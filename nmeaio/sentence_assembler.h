#pragma once
// Cuts NMEA sentences out of a byte stream into a fixed line buffer.
//
// Every reader of the service (serial port, replayed file, shared memory) gets its bytes in
// chunks whose boundaries fall anywhere; this component keeps the sentence under construction
// between chunks and hands each complete one to a sink, a callable invoked as
// sink(const CompleteSentence&). The sink records the sentence first and parses it second,
// because parsing cuts the line in place.
//
// Two framings exist, because recorded files and live streams end their sentences differently:
//   Stream (serial port, shared memory): '$' starts a sentence, a '$' inside restarts it, and
//     only an LF right after a CR completes it; a lone CR or LF stays in the sentence. The
//     recorded text runs from '$' through the LF; parsing stops at the CR.
//   File (replay): '$' starts, a '$' inside restarts silently, and the first CR or LF ends the
//     sentence at that single byte, which is recorded with it and where parsing stops.
// A sentence that fills the whole line without ending is dropped, and assembly waits for the
// next '$'. Nothing is ever written past the line.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

enum class SentenceFraming { Stream, File };

// One complete sentence inside the assembler's line; valid only during the sink call.
struct CompleteSentence {
    char* text;             // the '$'; writable, since parsing splits the fields in place
    std::size_t length;     // bytes to record, from '$' through the line terminator
    const char* parse_end;  // where parsing stops: the CR (stream) or the terminator (file)
};

class CSentenceAssembler {
  public:
    static constexpr std::size_t line_size = 1024;

    explicit CSentenceAssembler(SentenceFraming framing) noexcept : framing_(framing) {}
    CSentenceAssembler(const CSentenceAssembler&) = delete;
    CSentenceAssembler& operator=(const CSentenceAssembler&) = delete;

    // Consumes size bytes; calls sink once per sentence completed by them, in order. The sink
    // must not feed this assembler.
    template <class Sink>
    void feed(const char* data, std::size_t size, Sink&& sink);

    SentenceFraming framing() const noexcept { return framing_; }
    // True while an unfinished sentence waits for more bytes.
    bool in_sentence() const noexcept { return in_sentence_; }
    // Sentences dropped because they filled the line without ending.
    std::uint64_t overruns() const noexcept { return overruns_; }
    // Unfinished sentences dropped because a '$' started a new one.
    std::uint64_t restarts() const noexcept { return restarts_; }

  private:
    template <class Sink>
    const char* continue_sentence(const char* next, const char* end, Sink& sink);
    void begin_sentence() noexcept;
    void restart_sentence() noexcept;
    void drop_overrun() noexcept;
    void append(const char* from, const char* to) noexcept;
    template <class Sink>
    void complete(const char* parse_end, Sink& sink);

    // Earliest byte of [from, to) that is one of the markers; null when there is none. The
    // markers are searched one after another over a shrinking range, so that the library's
    // vectorised memchr does the scanning.
    template <std::size_t N>
    static const char* find_first_of(const char* from, const char* to,
                                     const char (&markers)[N]) noexcept;

    SentenceFraming framing_;
    bool in_sentence_ = false;
    std::size_t write_ = 0;  // bytes of the current sentence in line_
    std::uint64_t overruns_ = 0;
    std::uint64_t restarts_ = 0;
    char line_[line_size] = {};
};

template <class Sink>
void CSentenceAssembler::feed(const char* data, std::size_t size, Sink&& sink) {
    const char* next = data;
    const char* const end = data + size;
    while (next != end) {
        if (!in_sentence_) {
            next = static_cast<const char*>(
                std::memchr(next, '$', static_cast<std::size_t>(end - next)));
            if (next == nullptr) {
                return;
            }
            begin_sentence();
            ++next;
        } else {
            next = continue_sentence(next, end, sink);
        }
    }
}

template <class Sink>
const char* CSentenceAssembler::continue_sentence(const char* next, const char* end, Sink& sink) {
    static constexpr char stream_markers[] = {'\n', '$'};
    static constexpr char file_markers[] = {'\r', '\n', '$'};

    // Bytes beyond the room left in the line are not looked at: the sentence overruns first.
    const std::size_t room = line_size - write_;
    const char* const limit = next + std::min(static_cast<std::size_t>(end - next), room);
    const char* const marker = framing_ == SentenceFraming::Stream
                                   ? find_first_of(next, limit, stream_markers)
                                   : find_first_of(next, limit, file_markers);
    if (marker == nullptr) {
        append(next, limit);
        if (write_ == line_size) {
            drop_overrun();
        }
        return limit;
    }
    if (*marker == '$') {
        restart_sentence();
        return marker + 1;
    }
    append(next, marker + 1);
    if (framing_ == SentenceFraming::File) {
        complete(line_ + write_ - 1, sink);
    } else if (line_[write_ - 2] == '\r') {
        // The CR is read from the line, since it may have come with an earlier chunk.
        complete(line_ + write_ - 2, sink);
    } else if (write_ == line_size) {
        drop_overrun();
    }
    return marker + 1;
}

template <class Sink>
void CSentenceAssembler::complete(const char* parse_end, Sink& sink) {
    const CompleteSentence sentence{line_, write_, parse_end};
    // The state is reset before the sink runs, so a sink that throws leaves a usable assembler.
    in_sentence_ = false;
    write_ = 0;
    sink(sentence);
}

inline void CSentenceAssembler::append(const char* from, const char* to) noexcept {
    const auto count = static_cast<std::size_t>(to - from);
    std::memcpy(line_ + write_, from, count);
    write_ += count;
}

inline void CSentenceAssembler::begin_sentence() noexcept {
    line_[0] = '$';
    write_ = 1;
    in_sentence_ = true;
}

template <std::size_t N>
const char* CSentenceAssembler::find_first_of(const char* from, const char* to,
                                              const char (&markers)[N]) noexcept {
    const char* first = nullptr;
    for (const char marker : markers) {
        const void* hit = std::memchr(from, marker, static_cast<std::size_t>(to - from));
        if (hit != nullptr) {
            first = static_cast<const char*>(hit);
            to = first;
        }
    }
    return first;
}
