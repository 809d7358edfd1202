#include "nmea/parser.h"

#include "nmea/sentence_fields.h"
#include "nmea/sentence_splitter.h"

using tarnwick::nmea::hex_digit_field;
using tarnwick::nmea::SentenceFields;
using tarnwick::nmea::split_sentence;
using tarnwick::nmea::SplitOutcome;
using tarnwick::nmea::Talker;
using tarnwick::nmea::talker_of;

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
        if (mode_ == NMEAMode::gnss) {
            const Talker talker = talker_of(a);
            if (talker != Talker::none) {
                return dispatch_type(a + 2, talker, first, last, listener);
            }
        }
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
    return dispatch_type(a + 2, mode_ == NMEAMode::gnss ? Talker::gp : Talker::none, first, last,
                         listener);
}

bool CNMEAParser::dispatch_type(const char* t, Talker talker, const char* const* first,
                                const char* const* last, CNMEAListener* listener) {
    const CoordinateSplit split =
        talker == Talker::none ? CoordinateSplit::single : CoordinateSplit::full;
    if (t[0] == 'G') {
        if (t[1] == 'S') {
            if (t[2] == 'A') {
                if (talker != Talker::none) {
                    return decode_gnss_gsa(talker, first, last, listener);
                }
                return decode(gsa_, NMEAMessageId::GSA, ParseResult::InvalidGSA, first, last,
                              listener);
            }
            if (t[2] == 'V') {
                if (talker != Talker::none) {
                    return decode_gnss_gsv(talker, first, last, listener);
                }
                return decode_gsv(first, last, listener);
            }
            return refuse(ParseResult::NotSupportedMessage);
        }
        if (t[1] == 'G' && t[2] == 'A') {
            return decode(gga_, NMEAMessageId::GGA, ParseResult::InvalidGGA, first, last, listener,
                          split);
        }
        if (t[1] == 'L' && t[2] == 'L') {
            return decode(gll_, NMEAMessageId::GLL, ParseResult::InvalidGLL, first, last, listener,
                          split);
        }
        return refuse(ParseResult::NotSupportedMessage);
    }
    if (t[0] == 'R' && t[1] == 'M' && t[2] == 'C') {
        return decode(rmc_, NMEAMessageId::RMC, ParseResult::InvalidRMC, first, last, listener,
                      split);
    }
    if (t[0] == 'V' && t[1] == 'T' && t[2] == 'G') {
        return decode(vtg_, NMEAMessageId::VTG, ParseResult::InvalidVTG, first, last, listener);
    }
    return refuse(ParseResult::NotSupportedMessage);
}

bool CNMEAParser::deliver(NMEAMessageId id, CNMEARecord& record, CNMEAListener* listener) {
    if (listener != nullptr) {
        listener->on_message(static_cast<int>(id), &record);
    }
    last_message = id;
    last_result = ParseResult::Ok;
    return true;
}

template <typename Record, typename... Options>
bool CNMEAParser::decode(Record& record, NMEAMessageId id, ParseResult failure,
                         const char* const* first, const char* const* last, CNMEAListener* listener,
                         Options... options) {
    // Cleared even when refused: a member the sentence leaves empty never keeps an old value.
    record.clear();
    if (!record.parse(first, last, options...)) {
        return refuse(failure);
    }
    return deliver(id, record, listener);
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

// A 4.10 GSA ends in the system id after the three dilutions; without it the sentence is read
// as before and each number tells its system.
bool CNMEAParser::decode_gnss_gsa(Talker talker, const char* const* first, const char* const* last,
                                  CNMEAListener* listener) {
    const SentenceFields f(first, last);
    int system_id = -1;
    if (f.size() > CGSARecord::min_fields) {
        system_id = hex_digit_field(f[f.size()]);
        if (system_id >= 0) {
            --last;
        }
    }
    gsa_.clear();
    if (!gsa_.parse(first, last)) {
        return refuse(ParseResult::InvalidGSA);
    }
    gsa_systems_.assign(gsa_, talker, system_id);
    if (listener != nullptr) {
        listener->on_message(static_cast<int>(NMEAMessageId::GSASystems), &gsa_systems_);
    }
    return deliver(NMEAMessageId::GSA, gsa_, listener);
}

bool CNMEAParser::decode_gnss_gsv(Talker talker, const char* const* first, const char* const* last,
                                  CNMEAListener* listener) {
    const CGSVSets::Outcome outcome = gsv_sets_.gather(talker, first, last);
    if (!outcome.accepted) {
        return refuse(ParseResult::InvalidGSV);
    }
    if (outcome.complete != nullptr) {
        return deliver(NMEAMessageId::GSV, *outcome.complete, listener);
    }
    last_result = ParseResult::Ok;
    return true;
}
