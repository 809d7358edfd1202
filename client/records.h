#pragma once
/* The decoded records of the data stream and of GetValidRMC, as plain data that C and C++ share.
 * Members carry what the record's byte form carries, in wire order, under the names
 * docs/protocol.md gives them. Empty numeric fields of a sentence decode as 0; empty satellite
 * fields keep the 0xFF (0xFFFF for an azimuth) markers. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Message ids of the records. */
enum {
    TARNWICK_GGA = 0,
    TARNWICK_GLL = 1,
    TARNWICK_GSA = 2,
    TARNWICK_GSV = 3,
    TARNWICK_RMC = 4,
    TARNWICK_VTG = 5,
    TARNWICK_PORZA = 6,
    TARNWICK_PORZX = 7,
    /* Only with the GNSS mode: the satellite systems of the GSA that came just before. */
    TARNWICK_GSA_SYSTEMS = 9
};

enum {
    TARNWICK_SLOTS = 30,
    /* What an empty satellite field holds (0xFFFF for an azimuth). */
    TARNWICK_EMPTY = 0xFF,
    TARNWICK_EMPTY_AZIMUTH = 0xFFFF
};

typedef struct tarnwick_time {
    uint8_t hour;
    uint8_t minute;
    float second;
} tarnwick_time;

/* Degrees and minutes as the sentence gave them; the hemisphere is 'N'/'S' or 'E'/'W', 0 when
 * the field was empty. */
typedef struct tarnwick_position {
    int32_t lat_deg;
    float lat_min;
    char lat_hemi;
    int32_t lon_deg;
    float lon_min;
    char lon_hemi;
} tarnwick_position;

typedef struct tarnwick_gga {
    tarnwick_time time;
    tarnwick_position position;
    int32_t quality;
    int8_t satellites;
    float hdop;
    float altitude;
    char altitude_unit;
    float separation;
    char separation_unit;
    int32_t dgps_age;
    int32_t dgps_station;
} tarnwick_gga;

typedef struct tarnwick_gll {
    tarnwick_position position;
    tarnwick_time time;
    char status; /* 'A' valid, 'V' invalid */
} tarnwick_gll;

typedef struct tarnwick_gsa {
    char mode;                   /* 'M' manual, 'A' automatic */
    int32_t fix_type;            /* 1 none, 2 two-dimensional, 3 three-dimensional */
    uint8_t prn[TARNWICK_SLOTS]; /* 0xFF where the sentence had no satellite */
    /* The satellite fields the sentence carried, empty ones included: not a satellite count. */
    int8_t prn_count;
    float pdop;
    float hdop;
    float vdop;
} tarnwick_gsa;

typedef struct tarnwick_satellite {
    uint8_t prn;       /* 0xFF: no satellite in this entry */
    uint8_t elevation; /* degrees, 0xFF when empty */
    uint16_t azimuth;  /* degrees, 0xFFFF when empty */
    uint8_t snr;       /* dB, 0xFF when empty */
    /* GNSS mode: the system in the high four bits, the signal in the low four; 0 otherwise. */
    uint8_t tag;
} tarnwick_satellite;

typedef struct tarnwick_gsv {
    int32_t in_view;
    tarnwick_satellite satellites[TARNWICK_SLOTS];
} tarnwick_gsv;

typedef struct tarnwick_rmc {
    tarnwick_time time;
    char status; /* 'A' a valid fix, 'V' invalid */
    tarnwick_position position;
    float speed;  /* knots */
    float course; /* degrees */
    int8_t day;
    int8_t month;
    int8_t year; /* two digits as sent */
    float variation;
    char variation_dir;
} tarnwick_rmc;

typedef struct tarnwick_vtg {
    float course_true;
    char course_true_ref;
    float course_magnetic;
    char course_magnetic_ref;
    float speed_knots;
    char speed_knots_unit;
    float speed_kmh;
    char speed_kmh_unit;
} tarnwick_vtg;

typedef struct tarnwick_porza {
    int32_t param1;
    int32_t param2;
    int32_t param3;
} tarnwick_porza;

typedef struct tarnwick_porzx {
    int32_t param1;
    int32_t receiver;
    int32_t param5;
    char param6;
} tarnwick_porzx;

/* The system of each slot of the GSA before it: 1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou, 5 QZSS,
 * 6 NavIC, 0 for an empty slot or an unknown system. */
typedef struct tarnwick_gsa_systems {
    uint8_t system[TARNWICK_SLOTS];
} tarnwick_gsa_systems;

#ifdef __cplusplus
}

namespace tarnwick::client {

using Time = tarnwick_time;
using Position = tarnwick_position;
using GGA = tarnwick_gga;
using GLL = tarnwick_gll;
using GSA = tarnwick_gsa;
using Satellite = tarnwick_satellite;
using GSV = tarnwick_gsv;
using RMC = tarnwick_rmc;
using VTG = tarnwick_vtg;
using PORZA = tarnwick_porza;
using PORZX = tarnwick_porzx;
using GSASystems = tarnwick_gsa_systems;

}  // namespace tarnwick::client
#endif
