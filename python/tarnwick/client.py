"""Client and Watcher: the handles of the C interface, with its results as Python values."""

import ctypes
import os
import threading
from dataclasses import dataclass
from typing import Any, Iterator, List, Optional, Union

from . import _capi
from .errors import (
    BufferTooSmallError,
    InvalidArgumentError,
    RequestRefusedError,
    TimedOutError,
    error_for_code,
)
from .records import (
    RECORD_MEMBERS,
    SCAN_END,
    InputEnded,
    InputLost,
    InputMode,
    Message,
    Reconnected,
    RMC,
    ScanEvent,
    ScanPortRates,
    UnknownMessage,
    from_struct,
)

# A uint32 of milliseconds, less one: the C side takes nothing longer in one wait.
_LONGEST_WAIT_MS = 0xFFFFFFFE
# Watcher.next without a timeout of its own takes the watcher's.
_WATCHER_TIMEOUT = object()
PathLike = Union[str, bytes, "os.PathLike[str]"]


def _check(code: int) -> None:
    if code != 0:
        raise error_for_code(code, _message(code))


def _message(code: int) -> str:
    return _capi.library().tarnwick_error_message(code).decode("utf-8", "replace")


def _milliseconds(seconds: float, what: str) -> int:
    if seconds < 0:
        raise ValueError(f"{what} must not be negative")
    return min(int(round(seconds * 1000)), _LONGEST_WAIT_MS)


def _text(value: Union[str, bytes], what: str) -> bytes:
    """UTF-8 for the library. Undecodable file-name bytes (surrogate escapes) go as they are,
    so that the library, not Python, refuses them."""
    data = (
        value if isinstance(value, bytes) else value.encode("utf-8", "surrogateescape")
    )
    if b"\0" in data:
        raise InvalidArgumentError(f"{what} holds a NUL character")
    return data


def _path(path: PathLike) -> bytes:
    # The service opens paths from its own working directory.
    return _text(os.path.abspath(os.fsdecode(path)), "path")


def service_running() -> bool:
    """True when the service of the current namespace (TARNWICK_HOME) runs and serves."""
    return _capi.library().tarnwick_service_running() != 0


@dataclass
class Connection:
    """The serial port and rate the service is connected to (port "" when not connected)."""

    connected: bool
    port: str
    baud: int
    port_truncated: bool = False


def _connection(raw: _capi.tarnwick_connection) -> Connection:
    return Connection(
        connected=bool(raw.connected),
        port=raw.port.decode("utf-8", "replace"),
        baud=raw.baud,
        port_truncated=bool(raw.port_truncated),
    )


class _Handle:
    """An owned pointer of the library, closed once, used by one thread at a time."""

    _closer = ""

    def __init__(self) -> None:
        self._lib = _capi.library()
        self._pointer = ctypes.c_void_p()
        self._lock = threading.Lock()

    @property
    def closed(self) -> bool:
        return not self._pointer.value

    def _use(self) -> ctypes.c_void_p:
        if self.closed:
            raise InvalidArgumentError(f"{type(self).__name__} is closed")
        return self._pointer

    def close(self) -> None:
        """Closes the handle; closing twice does nothing."""
        with self._lock:
            if self._pointer.value:
                getattr(self._lib, self._closer)(self._pointer)
                self._pointer = ctypes.c_void_p()

    def __enter__(self):
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:
            pass


class Client(_Handle):
    """The service of the current namespace ($TARNWICK_HOME, else the user's state folder).

    may_start: start the service when it is not running (the program it recorded when it last
    ran). start_timeout and answer_timeout are in seconds (answer_timeout: per request;
    connecting probes a port for up to 8 s and a producer may take 60 s).
    Raises ServiceNotRunningError, StartFailedError or ChannelError."""

    _closer = "tarnwick_close"

    def __init__(
        self,
        may_start: bool = True,
        start_timeout: float = 5.0,
        answer_timeout: float = 20.0,
    ) -> None:
        super().__init__()
        options = _capi.tarnwick_options()
        self._lib.tarnwick_options_init(ctypes.byref(options))
        options.may_start = 1 if may_start else 0
        options.start_timeout_ms = _milliseconds(start_timeout, "start_timeout")
        options.answer_timeout_ms = _milliseconds(answer_timeout, "answer_timeout")
        _check(
            self._lib.tarnwick_open(ctypes.byref(options), ctypes.byref(self._pointer))
        )

    def _call(self, name: str, *args) -> None:
        with self._lock:
            _check(getattr(self._lib, name)(self._use(), *args))

    def quit(self) -> None:
        """The service ends. Nothing answers: success means the request was delivered."""
        self._call("tarnwick_quit")

    def ports(self) -> List[str]:
        """The port names the service sees ("COM1:", ...)."""
        needed = ctypes.c_size_t()
        count = ctypes.c_size_t()
        size = 0
        while True:
            buffer = ctypes.create_string_buffer(size) if size else None
            try:
                self._call(
                    "tarnwick_enum_ports",
                    buffer,
                    size,
                    ctypes.byref(needed),
                    ctypes.byref(count),
                )
            except BufferTooSmallError:
                # The list may have grown between asking its size and reading it.
                size = needed.value
                continue
            break
        names = buffer.raw[: needed.value].split(b"\0") if buffer is not None else []
        return [name.decode("utf-8", "replace") for name in names if name]

    def connect(self, parallel_scan: bool = True) -> Connection:
        """Connects to the remembered port and rate when they answer (connected True).
        Otherwise connected is False and a scan of every port starts: it reports to watchers
        as ScanEvent messages, the last one (EndScan) with the ports that answered."""
        raw = _capi.tarnwick_connection()
        self._call("tarnwick_connect", 1 if parallel_scan else 0, ctypes.byref(raw))
        return _connection(raw)

    def connect_port(self, port: str = "", baud: int = 4800) -> None:
        """Connects to `port` ("COM1:") at `baud`; "" means the remembered port and rate.
        Raises RequestRefusedError with the service's system_error when that fails."""
        connected = ctypes.c_int()
        system_error = ctypes.c_uint32()
        self._call(
            "tarnwick_connect_port",
            _text(port, "port"),
            baud,
            ctypes.byref(connected),
            ctypes.byref(system_error),
        )
        if not connected.value:
            raise RequestRefusedError(
                "connect_port",
                f"{port or 'the remembered port'} at {baud} did not connect "
                f"(system error {system_error.value})",
                system_error.value,
            )

    def disconnect(self) -> None:
        """Closes whatever input the service has."""
        self._call("tarnwick_disconnect")

    def input_mode(self) -> InputMode:
        mode = ctypes.c_int32()
        self._call("tarnwick_get_input_mode", ctypes.byref(mode))
        return InputMode(mode.value)

    def open_file(self, path: PathLike, loop: bool = False, speed: float = 1.0) -> None:
        """Replays an NMEA file at `speed` times its pace (0: as fast as possible), from its
        start again at its end when `loop`. A relative path is taken from this process's
        working directory. Raises RequestRefusedError when the service could not replay it.
        """
        opened = ctypes.c_int()
        self._call(
            "tarnwick_open_file",
            _path(path),
            1 if loop else 0,
            speed,
            ctypes.byref(opened),
        )
        if not opened.value:
            raise RequestRefusedError(
                "open_file", f"{os.fsdecode(path)} was not replayed"
            )

    def start_write(self, path: PathLike) -> None:
        """Records the input's NMEA into `path`. Raises RequestRefusedError when recording did
        not begin (no input, a file that cannot be written)."""
        started = ctypes.c_int()
        self._call("tarnwick_start_write", _path(path), ctypes.byref(started))
        if not started.value:
            raise RequestRefusedError(
                "start_write", f"{os.fsdecode(path)} is not recorded"
            )

    def stop_write(self) -> bool:
        """Ends recording; True when an input was attached."""
        had_input = ctypes.c_int()
        self._call("tarnwick_stop_write", ctypes.byref(had_input))
        return bool(had_input.value)

    def valid_rmc(self) -> Optional[RMC]:
        """The last valid fix, kept across restarts of the service; None before the first."""
        fix = _capi.tarnwick_rmc()
        has_fix = ctypes.c_int()
        self._call("tarnwick_get_valid_rmc", ctypes.byref(fix), ctypes.byref(has_fix))
        return from_struct(fix) if has_fix.value else None

    def time_stamp_mode(self) -> bool:
        """True when RMC messages carry the service's tick (RMC.tick)."""
        tstamp = ctypes.c_int()
        self._call("tarnwick_get_time_stamp_mode", ctypes.byref(tstamp))
        return bool(tstamp.value)

    def restart_receiver(self, cold: bool = False) -> None:
        self._call("tarnwick_restart_receiver", 1 if cold else 0)

    def connection(self) -> Connection:
        """The port and rate of the serial input now attached."""
        raw = _capi.tarnwick_connection()
        self._call("tarnwick_get_connection", ctypes.byref(raw))
        return _connection(raw)

    def receiver(self) -> int:
        """The receiver's setting as it reports it (0: none, or no reply)."""
        value = ctypes.c_int32()
        self._call("tarnwick_get_receiver", ctypes.byref(value))
        return value.value

    def open_memory(self, name: str) -> None:
        """Takes NMEA from the shared-memory producer `name`. Raises RequestRefusedError when
        the service could not (it waits up to 60 s for the producer)."""
        opened = ctypes.c_int()
        self._call("tarnwick_open_memory", _text(name, "name"), ctypes.byref(opened))
        if not opened.value:
            raise RequestRefusedError("open_memory", f"producer {name} was not opened")

    def set_receiver(self, value: int) -> int:
        """Sends the receiver setting; the setting read back (0: none)."""
        result = ctypes.c_int32()
        self._call("tarnwick_set_receiver", value, ctypes.byref(result))
        return result.value

    def watch(self, timeout: Optional[float] = 10.0) -> "Watcher":
        """A Watcher of the data stream from now on."""
        return Watcher(self, timeout=timeout)


class Watcher(_Handle):
    """The data stream as an iterator of messages (records.py), from the moment it opens.

    Each message waits up to `timeout` seconds (None: without end) and raises TimedOutError
    when none came. `lost` counts the messages this watcher missed because it fell too far
    behind. With no client given, one is opened for the watcher alone (may_start True).
    """

    _closer = "tarnwick_watcher_close"

    def __init__(
        self, client: Optional[Client] = None, timeout: Optional[float] = 10.0
    ) -> None:
        super().__init__()
        self.timeout = timeout
        self.lost = 0
        own = client is None
        if own:
            client = Client()
        try:
            with client._lock:
                _check(
                    self._lib.tarnwick_watcher_open(
                        client._use(), ctypes.byref(self._pointer)
                    )
                )
        finally:
            if own:
                client.close()

    def __iter__(self) -> Iterator[Message]:
        return self

    def __next__(self) -> Message:
        return self.next()

    def next(self, timeout: Any = _WATCHER_TIMEOUT) -> Message:
        """The next message; `timeout` (seconds, None: without end) overrides the watcher's
        for this call."""
        if timeout is _WATCHER_TIMEOUT:
            timeout = self.timeout
        message = _capi.tarnwick_message()
        lost = ctypes.c_uint64()
        with self._lock:
            pointer = self._use()
            while True:
                wait = (
                    _LONGEST_WAIT_MS
                    if timeout is None
                    else _milliseconds(timeout, "timeout")
                )
                code = self._lib.tarnwick_watcher_next(
                    pointer, wait, ctypes.byref(message), ctypes.byref(lost)
                )
                self.lost += lost.value
                if code == TimedOutError.code and timeout is None:
                    continue
                _check(code)
                return self._convert(message)

    def _convert(self, message: _capi.tarnwick_message) -> Message:
        sequence = message.sequence
        member = RECORD_MEMBERS.get(message.id)
        if message.has_record and member is not None:
            record = from_struct(getattr(message.record, member))
            record.sequence = sequence
            if message.has_tick and isinstance(record, RMC):
                record.tick = message.tick
            return record
        if message.id == ScanEvent.ID:
            return self._scan(message.scan, sequence)
        if message.id == InputLost.ID:
            return InputLost(sequence=sequence)
        if message.id == InputEnded.ID:
            return InputEnded(sequence=sequence)
        if message.id == Reconnected.ID:
            return Reconnected(InputMode(message.input_mode), sequence=sequence)
        return UnknownMessage(message.id, sequence=sequence)

    def _scan(self, scan: _capi.tarnwick_scan_event, sequence: int) -> ScanEvent:
        summary = []
        for index in range(scan.summary_count if scan.code == SCAN_END else 0):
            summary.append(self._summary_entry(index))
        return ScanEvent(
            code=scan.code,
            name=self._lib.tarnwick_scan_event_name(scan.code).decode(
                "ascii", "replace"
            ),
            port=scan.port.decode("utf-8", "replace"),
            port_truncated=bool(scan.port_truncated),
            value=scan.value,
            summary=summary,
            sequence=sequence,
        )

    def _summary_entry(self, index: int) -> ScanPortRates:
        port_needed = ctypes.c_size_t()
        rate_count = ctypes.c_size_t()
        code = self._lib.tarnwick_watcher_summary_entry(
            self._pointer,
            index,
            None,
            0,
            ctypes.byref(port_needed),
            None,
            0,
            ctypes.byref(rate_count),
        )
        if code not in (0, BufferTooSmallError.code):
            _check(code)
        port = ctypes.create_string_buffer(port_needed.value)
        rates = (ctypes.c_int32 * max(rate_count.value, 1))()
        _check(
            self._lib.tarnwick_watcher_summary_entry(
                self._pointer,
                index,
                port,
                port_needed.value,
                ctypes.byref(port_needed),
                rates,
                rate_count.value,
                ctypes.byref(rate_count),
            )
        )
        return ScanPortRates(
            port=port.value.decode("utf-8", "replace"),
            rates=list(rates[: rate_count.value]),
        )
