#include "client/record_conversion.h"

#include <algorithm>
#include <iterator>

#include "nmea/gga_record.h"
#include "nmea/gll_record.h"
#include "nmea/gsa_record.h"
#include "nmea/gsa_systems_record.h"
#include "nmea/gsv_record.h"
#include "nmea/message_id.h"
#include "nmea/porza_record.h"
#include "nmea/porzx_record.h"
#include "nmea/rmc_record.h"
#include "nmea/vtg_record.h"

namespace tarnwick::client {
namespace {

static_assert(TARNWICK_GGA == static_cast<int>(NMEAMessageId::GGA) &&
              TARNWICK_GLL == static_cast<int>(NMEAMessageId::GLL) &&
              TARNWICK_GSA == static_cast<int>(NMEAMessageId::GSA) &&
              TARNWICK_GSV == static_cast<int>(NMEAMessageId::GSV) &&
              TARNWICK_RMC == static_cast<int>(NMEAMessageId::RMC) &&
              TARNWICK_VTG == static_cast<int>(NMEAMessageId::VTG) &&
              TARNWICK_PORZA == static_cast<int>(NMEAMessageId::PORZA) &&
              TARNWICK_PORZX == static_cast<int>(NMEAMessageId::PORZX) &&
              TARNWICK_GSA_SYSTEMS == static_cast<int>(NMEAMessageId::GSASystems));
static_assert(TARNWICK_SLOTS == CGSARecord::capacity && TARNWICK_SLOTS == CGSVRecord::capacity &&
              TARNWICK_SLOTS == CGSASystemsRecord::capacity);
static_assert(TARNWICK_EMPTY == CGSARecord::empty_slot && TARNWICK_EMPTY == CGSVSatellite::empty8 &&
              TARNWICK_EMPTY_AZIMUTH == CGSVSatellite::empty16);

Time convert(const CNMEATime& t) noexcept {
    return {t.hour, t.minute, t.second};
}

Position convert(const CNMEAPosition& p) noexcept {
    return {p.lat_deg, p.lat_min, p.lat_hemi, p.lon_deg, p.lon_min, p.lon_hemi};
}

GGA convert(const CGGARecord& r) noexcept {
    return {convert(r.time), convert(r.position), r.quality,    r.satellites,      r.hdop,
            r.altitude,      r.altitude_unit,     r.separation, r.separation_unit, r.dgps_age,
            r.dgps_station};
}

GLL convert(const CGLLRecord& r) noexcept {
    return {convert(r.position), convert(r.time), r.status};
}

GSA convert(const CGSARecord& r) noexcept {
    GSA out{};
    out.mode = r.mode;
    out.fix_type = r.fix_type;
    std::copy(std::begin(r.prn), std::end(r.prn), std::begin(out.prn));
    out.prn_count = r.prn_count;
    out.pdop = r.pdop;
    out.hdop = r.hdop;
    out.vdop = r.vdop;
    return out;
}

GSV convert(const CGSVRecord& r) noexcept {
    GSV out{};
    out.in_view = r.in_view;
    std::transform(std::begin(r.satellites), std::end(r.satellites), std::begin(out.satellites),
                   [](const CGSVSatellite& s) {
                       return Satellite{s.prn, s.elevation, s.azimuth, s.snr, s.tag};
                   });
    return out;
}

RMC convert(const CRMCRecord& r) noexcept {
    return {convert(r.time), r.status, convert(r.position), r.speed,        r.course, r.day,
            r.month,         r.year,   r.variation,         r.variation_dir};
}

VTG convert(const CVTGRecord& r) noexcept {
    return {r.course_true, r.course_true_ref,  r.course_magnetic, r.course_magnetic_ref,
            r.speed_knots, r.speed_knots_unit, r.speed_kmh,       r.speed_kmh_unit};
}

PORZA convert(const CPORZARecord& r) noexcept {
    return {r.param1, r.param2, r.param3};
}

PORZX convert(const CPORZXRecord& r) noexcept {
    return {r.param1, r.receiver, r.param5, r.param6};
}

GSASystems convert(const CGSASystemsRecord& r) noexcept {
    GSASystems out{};
    std::copy(std::begin(r.system), std::end(r.system), std::begin(out.system));
    return out;
}

template <class Decoded>
Record convert_as(const CNMEARecord& record) {
    return convert(static_cast<const Decoded&>(record));
}

// Decoded into the decoder's own record, so that the byte form is read in one place.
template <class Decoded>
Record read_as(GPS::istream& in) {
    Decoded decoded;
    decoded.deserialize(in);
    return convert(decoded);
}

// Calls `act.template operator()<Decoded>()` with the decoder's record type of `id`.
template <class Act>
std::optional<Record> with_record_type(std::int32_t id, Act&& act) {
    switch (static_cast<NMEAMessageId>(id)) {
        case NMEAMessageId::GGA:
            return act.template operator()<CGGARecord>();
        case NMEAMessageId::GLL:
            return act.template operator()<CGLLRecord>();
        case NMEAMessageId::GSA:
            return act.template operator()<CGSARecord>();
        case NMEAMessageId::GSV:
            return act.template operator()<CGSVRecord>();
        case NMEAMessageId::RMC:
            return act.template operator()<CRMCRecord>();
        case NMEAMessageId::VTG:
            return act.template operator()<CVTGRecord>();
        case NMEAMessageId::PORZA:
            return act.template operator()<CPORZARecord>();
        case NMEAMessageId::PORZX:
            return act.template operator()<CPORZXRecord>();
        case NMEAMessageId::GSASystems:
            return act.template operator()<CGSASystemsRecord>();
        case NMEAMessageId::None:
            break;
    }
    return std::nullopt;
}

}  // namespace

RMC to_rmc(const CRMCRecord& rmc) noexcept {
    return convert(rmc);
}

std::optional<Record> to_record(std::int32_t id, const CNMEARecord& record) {
    return with_record_type(id, [&record]<class Decoded>() { return convert_as<Decoded>(record); });
}

std::optional<Record> read_record(std::int32_t id, GPS::istream& in) {
    return with_record_type(id, [&in]<class Decoded>() { return read_as<Decoded>(in); });
}

}  // namespace tarnwick::client
