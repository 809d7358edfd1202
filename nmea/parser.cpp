#include "nmea/parser.h"

#include "nmea/sentence_splitter.h"

using tarnwick::nmea::split_sentence;
using tarnwick::nmea::SplitOutcome;

bool CNMEAParser::refuse(ParseResult result) noexcept {
    last_result = result;
    return false;
}

bool CNMEAParser::parse(char* line, const char* end, CNMEAListener* listener) {
    if (line == nullptr || end == nullptr || end <= line || line[0] != '$') {
        return refuse(ParseResult::UnknownFormat);
    }
    // fields[0] is the address; fields[1..count] the data fields. Only that prefix is ever read,
    // so the table needs no clearing.
    char* fields[max_fields + 1];
    fields[0] = line + 1;
    int count = 0;
    switch (split_sentence(line + 1, end, fields, max_fields, count)) {
        case SplitOutcome::TooManyFields:
            return refuse(ParseResult::TooManyParams);
        case SplitOutcome::NotConfirmed:
            return refuse(ParseResult::InvalidChecksum);
        case SplitOutcome::Confirmed:
            break;
    }
    return dispatch(fields[0], fields + 1, fields + 1 + count, listener);
}

// Only the first five address characters count. Every comparison stops at the first mismatch,
// so a short address (NUL-terminated by the split) is never read past its end.
bool CNMEAParser::dispatch(const char* a, const char* const* first, const char* const* last,
                           CNMEAListener* listener) {
    if (!(a[0] == 'G' && a[1] == 'P')) {
        if (!(a[0] == 'P' && a[1] == 'O' && a[2] == 'R' && a[3] == 'Z')) {
            return refuse(ParseResult::UnknownMessage);
        }
        if (a[4] == 'A') {
            return decode(porza_, NMEAMessageId::PORZA, ParseResult::InvalidPORZA, first, last,
                          listener);
        }
        if (a[4] == 'X') {
            return decode(porzx_, NMEAMessageId::PORZX, ParseResult::InvalidPORZX, first, last,
                          listener);
        }
        return refuse(ParseResult::UnknownMessage);
    }
    if (a[2] == 'G') {
        if (a[3] == 'S') {
            if (a[4] == 'A') {
                return decode(gsa_, NMEAMessageId::GSA, ParseResult::InvalidGSA, first, last,
                              listener);
            }
            if (a[4] == 'V') {
                return decode_gsv(first, last, listener);
            }
            return refuse(ParseResult::NotSupportedMessage);
        }
        if (a[3] == 'G' && a[4] == 'A') {
            return decode(gga_, NMEAMessageId::GGA, ParseResult::InvalidGGA, first, last, listener);
        }
        if (a[3] == 'L' && a[4] == 'L') {
            return decode(gll_, NMEAMessageId::GLL, ParseResult::InvalidGLL, first, last, listener);
        }
        return refuse(ParseResult::NotSupportedMessage);
    }
    if (a[2] == 'R' && a[3] == 'M' && a[4] == 'C') {
        return decode(rmc_, NMEAMessageId::RMC, ParseResult::InvalidRMC, first, last, listener);
    }
    if (a[2] == 'V' && a[3] == 'T' && a[4] == 'G') {
        return decode(vtg_, NMEAMessageId::VTG, ParseResult::InvalidVTG, first, last, listener);
    }
    return refuse(ParseResult::NotSupportedMessage);
}

template <typename Record>
bool CNMEAParser::decode(Record& record, NMEAMessageId id, ParseResult failure,
                         const char* const* first, const char* const* last,
                         CNMEAListener* listener) {
    // Cleared even when refused: a member the sentence leaves empty never keeps an old value.
    record.clear();
    if (!record.parse(first, last)) {
        return refuse(failure);
    }
    if (listener != nullptr) {
        listener->on_message(static_cast<int>(id), &record);
    }
    last_message = id;
    last_result = ParseResult::Ok;
    return true;
}

// A GSV set is delivered once, when its last sentence arrives; earlier sentences are Ok too.
bool CNMEAParser::decode_gsv(const char* const* first, const char* const* last,
                             CNMEAListener* listener) {
    if (gsv_.is_complete()) {
        gsv_.clear();
    }
    if (!gsv_.gather(first, last)) {
        return refuse(ParseResult::InvalidGSV);
    }
    if (gsv_.is_complete()) {
        if (listener != nullptr) {
            listener->on_message(static_cast<int>(NMEAMessageId::GSV), &gsv_);
        }
        last_message = NMEAMessageId::GSV;
    }
    last_result = ParseResult::Ok;
    return true;
}
