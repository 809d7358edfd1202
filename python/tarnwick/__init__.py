"""Python client of the Tarnwick position service, on its C library libtarnwick.so.0.

    import tarnwick
    with tarnwick.Client() as client:
        print(client.valid_rmc())

The library is looked for in $TARNWICK_LIBRARY, then by its soname through the dynamic loader,
then through ctypes.util.find_library, then next to this package (library_candidates())."""

from ._capi import library_candidates
from .client import Client, Connection, Watcher, service_running
from .errors import (
    BufferTooSmallError,
    ChannelError,
    InternalError,
    InvalidArgumentError,
    LibraryNotFoundError,
    MalformedRequestError,
    OutOfMemoryError,
    RequestRefusedError,
    RequestTooLargeError,
    ServiceNotRunningError,
    StartFailedError,
    TarnwickError,
    TimedOutError,
    error_for_code,
)
from .records import (
    EMPTY,
    EMPTY_AZIMUTH,
    GGA,
    GLL,
    GSA,
    GSV,
    MESSAGE_TYPES,
    PORZA,
    PORZX,
    RMC,
    VTG,
    GSASystems,
    InputEnded,
    InputLost,
    InputMode,
    Position,
    Reconnected,
    Satellite,
    ScanEvent,
    ScanPortRates,
    Time,
    UnknownMessage,
    message_dict,
)

__version__ = "0.1.0"

__all__ = [name for name in dir() if not name.startswith("_")]
