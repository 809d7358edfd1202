"""libtarnwick.so.0 through ctypes: finding it, its structs and its function prototypes.

The Structures below mirror capi/tarnwick.h and client/records.h member for member, with the
native alignment the C compiler gives them; tests/python/test_layout.py checks every offset
against the real header."""

import ctypes
import ctypes.util
import os
import threading
from ctypes import (
    POINTER,
    Structure,
    Union,
    c_char,
    c_char_p,
    c_float,
    c_int,
    c_int8,
    c_int32,
    c_size_t,
    c_uint8,
    c_uint16,
    c_uint32,
    c_uint64,
    c_void_p,
)
from typing import List

from .errors import LibraryNotFoundError

SONAME = "libtarnwick.so.0"
LIBRARY_VARIABLE = "TARNWICK_LIBRARY"
SLOTS = 30
PORT_SIZE = 64


class tarnwick_time(Structure):
    _fields_ = [("hour", c_uint8), ("minute", c_uint8), ("second", c_float)]


class tarnwick_position(Structure):
    _fields_ = [
        ("lat_deg", c_int32),
        ("lat_min", c_float),
        ("lat_hemi", c_char),
        ("lon_deg", c_int32),
        ("lon_min", c_float),
        ("lon_hemi", c_char),
    ]


class tarnwick_gga(Structure):
    _fields_ = [
        ("time", tarnwick_time),
        ("position", tarnwick_position),
        ("quality", c_int32),
        ("satellites", c_int8),
        ("hdop", c_float),
        ("altitude", c_float),
        ("altitude_unit", c_char),
        ("separation", c_float),
        ("separation_unit", c_char),
        ("dgps_age", c_int32),
        ("dgps_station", c_int32),
    ]


class tarnwick_gll(Structure):
    _fields_ = [
        ("position", tarnwick_position),
        ("time", tarnwick_time),
        ("status", c_char),
    ]


class tarnwick_gsa(Structure):
    _fields_ = [
        ("mode", c_char),
        ("fix_type", c_int32),
        ("prn", c_uint8 * SLOTS),
        ("prn_count", c_int8),
        ("pdop", c_float),
        ("hdop", c_float),
        ("vdop", c_float),
    ]


class tarnwick_satellite(Structure):
    _fields_ = [
        ("prn", c_uint8),
        ("elevation", c_uint8),
        ("azimuth", c_uint16),
        ("snr", c_uint8),
        ("tag", c_uint8),
    ]


class tarnwick_gsv(Structure):
    _fields_ = [("in_view", c_int32), ("satellites", tarnwick_satellite * SLOTS)]


class tarnwick_rmc(Structure):
    _fields_ = [
        ("time", tarnwick_time),
        ("status", c_char),
        ("position", tarnwick_position),
        ("speed", c_float),
        ("course", c_float),
        ("day", c_int8),
        ("month", c_int8),
        ("year", c_int8),
        ("variation", c_float),
        ("variation_dir", c_char),
    ]


class tarnwick_vtg(Structure):
    _fields_ = [
        ("course_true", c_float),
        ("course_true_ref", c_char),
        ("course_magnetic", c_float),
        ("course_magnetic_ref", c_char),
        ("speed_knots", c_float),
        ("speed_knots_unit", c_char),
        ("speed_kmh", c_float),
        ("speed_kmh_unit", c_char),
    ]


class tarnwick_porza(Structure):
    _fields_ = [("param1", c_int32), ("param2", c_int32), ("param3", c_int32)]


class tarnwick_porzx(Structure):
    _fields_ = [
        ("param1", c_int32),
        ("receiver", c_int32),
        ("param5", c_int32),
        ("param6", c_char),
    ]


class tarnwick_gsa_systems(Structure):
    _fields_ = [("system", c_uint8 * SLOTS)]


class tarnwick_options(Structure):
    _fields_ = [
        ("may_start", c_int),
        ("start_timeout_ms", c_uint32),
        ("answer_timeout_ms", c_uint32),
    ]


class tarnwick_connection(Structure):
    _fields_ = [
        ("connected", c_int),
        ("port", c_char * PORT_SIZE),
        ("port_truncated", c_int),
        ("baud", c_int32),
    ]


class tarnwick_scan_event(Structure):
    _fields_ = [
        ("code", c_int32),
        ("port", c_char * PORT_SIZE),
        ("port_truncated", c_int),
        ("value", c_int32),
        ("summary_count", c_uint32),
    ]


class tarnwick_record(Union):
    _fields_ = [
        ("gga", tarnwick_gga),
        ("gll", tarnwick_gll),
        ("gsa", tarnwick_gsa),
        ("gsv", tarnwick_gsv),
        ("rmc", tarnwick_rmc),
        ("vtg", tarnwick_vtg),
        ("porza", tarnwick_porza),
        ("porzx", tarnwick_porzx),
        ("gsa_systems", tarnwick_gsa_systems),
    ]


class tarnwick_message(Structure):
    _fields_ = [
        ("sequence", c_uint64),
        ("id", c_int32),
        ("has_record", c_int),
        ("record", tarnwick_record),
        ("has_tick", c_int),
        ("tick", c_uint32),
        ("scan", tarnwick_scan_event),
        ("input_mode", c_int32),
    ]


# The handles are opaque: pointers the library hands out and takes back.
client_p = c_void_p
watcher_p = c_void_p
_out_int = POINTER(c_int)
_out_int32 = POINTER(c_int32)
_out_uint32 = POINTER(c_uint32)
_out_size = POINTER(c_size_t)

_PROTOTYPES = {
    "tarnwick_error_message": (c_char_p, [c_int]),
    "tarnwick_service_running": (c_int, []),
    "tarnwick_options_init": (None, [POINTER(tarnwick_options)]),
    "tarnwick_open": (c_int, [POINTER(tarnwick_options), POINTER(client_p)]),
    "tarnwick_close": (None, [client_p]),
    "tarnwick_quit": (c_int, [client_p]),
    "tarnwick_enum_ports": (
        c_int,
        [client_p, c_char_p, c_size_t, _out_size, _out_size],
    ),
    "tarnwick_connect": (c_int, [client_p, c_int, POINTER(tarnwick_connection)]),
    "tarnwick_connect_port": (
        c_int,
        [client_p, c_char_p, c_int32, _out_int, _out_uint32],
    ),
    "tarnwick_disconnect": (c_int, [client_p]),
    "tarnwick_get_input_mode": (c_int, [client_p, _out_int32]),
    "tarnwick_open_file": (c_int, [client_p, c_char_p, c_int, c_float, _out_int]),
    "tarnwick_start_write": (c_int, [client_p, c_char_p, _out_int]),
    "tarnwick_stop_write": (c_int, [client_p, _out_int]),
    "tarnwick_get_valid_rmc": (c_int, [client_p, POINTER(tarnwick_rmc), _out_int]),
    "tarnwick_get_time_stamp_mode": (c_int, [client_p, _out_int]),
    "tarnwick_restart_receiver": (c_int, [client_p, c_int]),
    "tarnwick_get_connection": (c_int, [client_p, POINTER(tarnwick_connection)]),
    "tarnwick_get_receiver": (c_int, [client_p, _out_int32]),
    "tarnwick_open_memory": (c_int, [client_p, c_char_p, _out_int]),
    "tarnwick_set_receiver": (c_int, [client_p, c_int32, _out_int32]),
    "tarnwick_watcher_open": (c_int, [client_p, POINTER(watcher_p)]),
    "tarnwick_watcher_close": (None, [watcher_p]),
    "tarnwick_watcher_next": (
        c_int,
        [watcher_p, c_uint32, POINTER(tarnwick_message), POINTER(c_uint64)],
    ),
    "tarnwick_watcher_summary_entry": (
        c_int,
        [
            watcher_p,
            c_uint32,
            c_char_p,
            c_size_t,
            _out_size,
            POINTER(c_int32),
            c_size_t,
            _out_size,
        ],
    ),
    "tarnwick_scan_event_name": (c_char_p, [c_int32]),
}


def library_candidates() -> List[str]:
    """Where the library is looked for, in order: $TARNWICK_LIBRARY (a file, or a folder
    holding libtarnwick.so.0); the soname through the dynamic loader (LD_LIBRARY_PATH, the
    ldconfig cache, /usr/lib ...); what ctypes.util.find_library("tarnwick") finds; and a copy
    next to this package."""
    candidates = []
    chosen = os.environ.get(LIBRARY_VARIABLE)
    if chosen:
        if os.path.isdir(chosen):
            chosen = os.path.join(chosen, SONAME)
        # A variable that names a library is meant: nothing else is tried behind its back.
        return [chosen]
    candidates.append(SONAME)
    found = ctypes.util.find_library("tarnwick")
    if found and found not in candidates:
        candidates.append(found)
    candidates.append(os.path.join(os.path.dirname(os.path.abspath(__file__)), SONAME))
    return candidates


_lock = threading.Lock()
_library = None


def library() -> ctypes.CDLL:
    """The loaded library, loaded on first use so that importing the package never fails."""
    global _library
    with _lock:
        if _library is None:
            _library = _load()
        return _library


def _load() -> ctypes.CDLL:
    failures = []
    for candidate in library_candidates():
        try:
            lib = ctypes.CDLL(candidate)
        except OSError as error:
            failures.append(f"{candidate}: {error}")
            continue
        for name, (restype, argtypes) in _PROTOTYPES.items():
            function = getattr(lib, name)
            function.restype = restype
            function.argtypes = argtypes
        return lib
    raise LibraryNotFoundError(
        "cannot load libtarnwick.so.0 (set TARNWICK_LIBRARY to its path): "
        + "; ".join(failures)
    )
