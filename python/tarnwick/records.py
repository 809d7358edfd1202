"""The records and notifications of the data stream as dataclasses.

Fields carry the names of client/records.h. Characters are 1-character strings, None where
the sentence left the field empty; reals are the shortest decimals that give back the
receiver's single-precision value (12.2, not 12.199999809265137). Empty satellite fields keep
their markers (EMPTY, EMPTY_AZIMUTH), as on the wire."""

import dataclasses
import enum
import struct
from dataclasses import dataclass, field
from typing import Any, ClassVar, Dict, List, Optional, Union

from . import _capi

EMPTY = 0xFF
EMPTY_AZIMUTH = 0xFFFF


class InputMode(enum.IntFlag):
    """What feeds the service (input_mode, Reconnected.input_mode); 0 for nothing."""

    NONE = 0
    SERIAL = 1
    FILE = 2
    RECORDING = 4
    MEMORY = 8


@dataclass
class Time:
    hour: int
    minute: int
    second: float


@dataclass
class Position:
    lat_deg: int
    lat_min: float
    lat_hemi: Optional[str]
    lon_deg: int
    lon_min: float
    lon_hemi: Optional[str]

    @property
    def latitude(self) -> Optional[float]:
        """Signed decimal degrees (south negative); None without a hemisphere."""
        return _degrees(self.lat_deg, self.lat_min, self.lat_hemi, "S")

    @property
    def longitude(self) -> Optional[float]:
        """Signed decimal degrees (west negative); None without a hemisphere."""
        return _degrees(self.lon_deg, self.lon_min, self.lon_hemi, "W")


def _degrees(
    deg: int, minutes: float, hemi: Optional[str], negative: str
) -> Optional[float]:
    if hemi is None:
        return None
    value = deg + minutes / 60.0
    return -value if hemi == negative else value


@dataclass
class GGA:
    ID: ClassVar[int] = 0
    time: Time
    position: Position
    quality: int
    satellites: int
    hdop: float
    altitude: float
    altitude_unit: Optional[str]
    separation: float
    separation_unit: Optional[str]
    dgps_age: int
    dgps_station: int
    sequence: Optional[int] = None


@dataclass
class GLL:
    ID: ClassVar[int] = 1
    position: Position
    time: Time
    status: Optional[str]
    sequence: Optional[int] = None


@dataclass
class GSA:
    ID: ClassVar[int] = 2
    mode: Optional[str]
    fix_type: int
    prn: List[int]
    prn_count: int
    pdop: float
    hdop: float
    vdop: float
    sequence: Optional[int] = None

    @property
    def used(self) -> List[int]:
        """The PRNs of the satellites used in the fix (prn_count counts fields, not these)."""
        return [prn for prn in self.prn[: max(self.prn_count, 0)] if prn != EMPTY]


@dataclass
class Satellite:
    prn: int
    elevation: int
    azimuth: int
    snr: int
    tag: int


@dataclass
class GSV:
    ID: ClassVar[int] = 3
    in_view: int
    satellites: List[Satellite]
    sequence: Optional[int] = None

    @property
    def listed(self) -> List[Satellite]:
        """The entries that name a satellite (the record always holds 30)."""
        return [satellite for satellite in self.satellites if satellite.prn != EMPTY]


@dataclass
class RMC:
    ID: ClassVar[int] = 4
    time: Time
    status: Optional[str]
    position: Position
    speed: float
    course: float
    day: int
    month: int
    year: int
    variation: float
    variation_dir: Optional[str]
    sequence: Optional[int] = None
    # The service's millisecond tick, when it runs with "tstamp".
    tick: Optional[int] = None


@dataclass
class VTG:
    ID: ClassVar[int] = 5
    course_true: float
    course_true_ref: Optional[str]
    course_magnetic: float
    course_magnetic_ref: Optional[str]
    speed_knots: float
    speed_knots_unit: Optional[str]
    speed_kmh: float
    speed_kmh_unit: Optional[str]
    sequence: Optional[int] = None


@dataclass
class PORZA:
    ID: ClassVar[int] = 6
    param1: int
    param2: int
    param3: int
    sequence: Optional[int] = None


@dataclass
class PORZX:
    ID: ClassVar[int] = 7
    param1: int
    receiver: int
    param5: int
    param6: Optional[str]
    sequence: Optional[int] = None


@dataclass
class GSASystems:
    ID: ClassVar[int] = 9
    # 1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou, 5 QZSS, 6 NavIC, 0 empty or unknown.
    system: List[int]
    sequence: Optional[int] = None


@dataclass
class ScanPortRates:
    port: str
    rates: List[int]


@dataclass
class ScanEvent:
    ID: ClassVar[int] = 1003
    code: int
    # "StartScan" ... "EndScan", as the service spells them.
    name: str
    port: str
    port_truncated: bool
    value: int
    # Only for the last event of a scan (EndScan): the ports where a rate answered.
    summary: List[ScanPortRates] = field(default_factory=list)
    sequence: Optional[int] = None


@dataclass
class InputLost:
    ID: ClassVar[int] = 1011
    sequence: Optional[int] = None


@dataclass
class InputEnded:
    ID: ClassVar[int] = 1012
    sequence: Optional[int] = None


@dataclass
class Reconnected:
    ID: ClassVar[int] = 1013
    input_mode: InputMode
    sequence: Optional[int] = None


@dataclass
class UnknownMessage:
    """A message id this version does not know (a newer service)."""

    id: int
    sequence: Optional[int] = None


SCAN_END = 17

Message = Union[
    GGA,
    GLL,
    GSA,
    GSV,
    RMC,
    VTG,
    PORZA,
    PORZX,
    GSASystems,
    ScanEvent,
    InputLost,
    InputEnded,
    Reconnected,
    UnknownMessage,
]

MESSAGE_TYPES = (
    GGA,
    GLL,
    GSA,
    GSV,
    RMC,
    VTG,
    PORZA,
    PORZX,
    GSASystems,
    ScanEvent,
    InputLost,
    InputEnded,
    Reconnected,
)

# ctypes Structure -> dataclass, for the generic conversion below.
_RECORDS = {
    _capi.tarnwick_time: Time,
    _capi.tarnwick_position: Position,
    _capi.tarnwick_satellite: Satellite,
    _capi.tarnwick_gga: GGA,
    _capi.tarnwick_gll: GLL,
    _capi.tarnwick_gsa: GSA,
    _capi.tarnwick_gsv: GSV,
    _capi.tarnwick_rmc: RMC,
    _capi.tarnwick_vtg: VTG,
    _capi.tarnwick_porza: PORZA,
    _capi.tarnwick_porzx: PORZX,
    _capi.tarnwick_gsa_systems: GSASystems,
}
# Union member by message id.
RECORD_MEMBERS = {
    0: "gga",
    1: "gll",
    2: "gsa",
    3: "gsv",
    4: "rmc",
    5: "vtg",
    6: "porza",
    7: "porzx",
    9: "gsa_systems",
}

_FLOAT = struct.Struct("<f")


def shortest_float(value: float) -> float:
    """The shortest decimal that reads back as the same single-precision number."""
    if value != value or value in (float("inf"), float("-inf")):
        return value
    single = _FLOAT.unpack(_FLOAT.pack(value))[0]
    for digits in range(1, 10):
        candidate = float(f"{single:.{digits}g}")
        if _FLOAT.unpack(_FLOAT.pack(candidate))[0] == single:
            return candidate
    return single


def character(raw: bytes) -> Optional[str]:
    """A C char as a 1-character string; bytes above 127 read as Latin-1, NUL as None."""
    return None if raw in (b"", b"\0") else raw.decode("latin-1")


def _value(ctype, raw):
    if ctype is _capi.c_char:
        return character(raw)
    if ctype is _capi.c_float:
        return shortest_float(raw)
    if ctype in _RECORDS:
        return from_struct(raw)
    if issubclass(ctype, _capi.ctypes.Array):
        return [_value(ctype._type_, item) for item in raw]
    return raw


def from_struct(struct_value) -> Any:
    """The dataclass of a record Structure (recursively)."""
    cls = _RECORDS[type(struct_value)]
    values = {
        name: _value(ctype, getattr(struct_value, name))
        for name, ctype in struct_value._fields_
    }
    return cls(**values)


def message_dict(message) -> Dict[str, Any]:
    """A message as plain data for JSON: its type name, its id, then its fields (Time and
    Position as nested objects, flags as numbers, empty optional members left out)."""
    out: Dict[str, Any] = {"type": type(message).__name__}
    message_id = getattr(message, "ID", None)
    if message_id is not None:
        out["id"] = message_id
    for key, value in dataclasses.asdict(message).items():
        if key in ("sequence", "tick") and value is None:
            continue
        out[key] = int(value) if isinstance(value, enum.IntFlag) else value
    return out
