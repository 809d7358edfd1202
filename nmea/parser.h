#pragma once
// The current navigation state of one reader: the latest record of every supported sentence
// type and the outcome of the last parse. `parse` frames, checks and dispatches one sentence.
// A parser belongs to one reader thread; it has no locks.

#include "nmea/gga_record.h"
#include "nmea/gll_record.h"
#include "nmea/gsa_record.h"
#include "nmea/gsa_systems_record.h"
#include "nmea/gsv_record.h"
#include "nmea/gsv_sets.h"
#include "nmea/listener.h"
#include "nmea/message_id.h"
#include "nmea/nmea_mode.h"
#include "nmea/parse_result.h"
#include "nmea/porza_record.h"
#include "nmea/porzx_record.h"
#include "nmea/rmc_record.h"
#include "nmea/satellite_system.h"
#include "nmea/vtg_record.h"

class CNMEAParser {
  public:
    // More data fields than this are refused (TooManyParams).
    static constexpr int max_fields = 99;

    CNMEAParser() = default;
    // The GNSS mode takes the talkers GN, GL, GA, GB, BD, GQ and GI as GP, gathers GSV sets per
    // talker and signal and tags their satellites with their system, delivers the systems of
    // each GSA (id 9) before it, and splits positions on the double.
    explicit CNMEAParser(NMEAMode mode) noexcept : mode_(mode) {}
    virtual ~CNMEAParser() = default;
    CNMEAParser(const CNMEAParser&) = delete;
    CNMEAParser& operator=(const CNMEAParser&) = delete;

    // Parses the sentence in [line, end): line points at the "$", end one past the last
    // character to examine (the carriage return, so the terminator is never part of it). The
    // text is split in place: every "," and the "*" become NUL. A decoded record goes to the
    // listener (may be null) before the call returns. True when last_result is Ok.
    bool parse(char* line, const char* end, CNMEAListener* listener);

    const CGGARecord& gga() const noexcept { return gga_; }
    const CGLLRecord& gll() const noexcept { return gll_; }
    const CGSARecord& gsa() const noexcept { return gsa_; }
    const CGSVRecord& gsv() const noexcept { return gsv_; }
    const CRMCRecord& rmc() const noexcept { return rmc_; }
    const CVTGRecord& vtg() const noexcept { return vtg_; }
    const CPORZARecord& porza() const noexcept { return porza_; }
    const CPORZXRecord& porzx() const noexcept { return porzx_; }
    NMEAMode mode() const noexcept { return mode_; }

  private:
    bool refuse(ParseResult result) noexcept;
    bool deliver(NMEAMessageId id, CNMEARecord& record, CNMEAListener* listener);
    template <typename Record, typename... Options>
    bool decode(Record& record, NMEAMessageId id, ParseResult failure, const char* const* first,
                const char* const* last, CNMEAListener* listener, Options... options);
    bool decode_gsv(const char* const* first, const char* const* last, CNMEAListener* listener);
    bool decode_gnss_gsa(tarnwick::nmea::Talker talker, const char* const* first,
                         const char* const* last, CNMEAListener* listener);
    bool decode_gnss_gsv(tarnwick::nmea::Talker talker, const char* const* first,
                         const char* const* last, CNMEAListener* listener);
    bool dispatch(const char* address, const char* const* first, const char* const* last,
                  CNMEAListener* listener);
    // The sentence type after the talker; talker none is the GPS mode.
    bool dispatch_type(const char* type, tarnwick::nmea::Talker talker, const char* const* first,
                       const char* const* last, CNMEAListener* listener);

    CGGARecord gga_;
    CGLLRecord gll_;
    CGSARecord gsa_;
    CGSVRecord gsv_;
    CRMCRecord rmc_;
    CVTGRecord vtg_;
    CPORZARecord porza_;
    CPORZXRecord porzx_;
    NMEAMode mode_ = NMEAMode::gps;
    // GNSS mode only.
    CGSASystemsRecord gsa_systems_;
    CGSVSets gsv_sets_;

  public:
    // Set by every call.
    ParseResult last_result = ParseResult::Ok;
    // Set only when a record is delivered.
    NMEAMessageId last_message = NMEAMessageId::None;
};
