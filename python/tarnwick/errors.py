"""The exceptions of the package: one class per error code of the C interface."""

from typing import Optional


class TarnwickError(Exception):
    """Every error this package raises. `code` is the C interface's tarnwick_error (None for
    errors that arise in Python: a request the service refused, a library not found)."""

    code: Optional[int] = None

    def __init__(self, message: str, code: Optional[int] = None):
        super().__init__(message)
        if code is not None:
            self.code = code


class LibraryNotFoundError(TarnwickError, OSError):
    """libtarnwick.so.0 could not be loaded (see tarnwick.library_candidates)."""


class ServiceNotRunningError(TarnwickError):
    """The service is not running and the client was not allowed to start it."""

    code = 1


class StartFailedError(ServiceNotRunningError):
    """Starting the service failed: it never ran in this namespace, its program could not be
    run, or it did not come up in time."""

    code = 2


class ChannelError(TarnwickError):
    """A channel, event or lock of the namespace could not be opened."""

    code = 3


class RequestTooLargeError(TarnwickError, ValueError):
    """The request with its strings does not fit into the request channel."""

    code = 4


class TimedOutError(TarnwickError, TimeoutError):
    """No answer came in time; for a watcher: no message came."""

    code = 5


class MalformedRequestError(TarnwickError):
    code = 6


class InvalidArgumentError(TarnwickError, ValueError):
    """An argument the library refuses: a string that is not UTF-8 or holds a NUL, a closed
    handle."""

    code = 100


class BufferTooSmallError(TarnwickError):
    code = 101


class OutOfMemoryError(TarnwickError, MemoryError):
    code = 102


class InternalError(TarnwickError):
    """The library failed in a way it did not foresee (TARNWICK_DEBUG=1 traces what)."""

    code = 103


class RequestRefusedError(TarnwickError):
    """The service answered, and said no: a port that did not connect, a file it could not
    open or write, a producer it could not find. `system_error` is the service's Win32 error
    number for connect_port (2 no such port, 5 access denied, 32 busy, 1460 no sentence ...),
    else None."""

    def __init__(self, request: str, message: str, system_error: Optional[int] = None):
        super().__init__(f"{request}: {message}")
        self.request = request
        self.system_error = system_error


_BY_CODE = {
    cls.code: cls
    for cls in (
        ServiceNotRunningError,
        StartFailedError,
        ChannelError,
        RequestTooLargeError,
        TimedOutError,
        MalformedRequestError,
        InvalidArgumentError,
        BufferTooSmallError,
        OutOfMemoryError,
        InternalError,
    )
}


def error_for_code(code: int, message: str) -> TarnwickError:
    """The exception for a tarnwick_error; a code this version does not know still gives a
    TarnwickError carrying it."""
    cls = _BY_CODE.get(code)
    if cls is None:
        return TarnwickError(message, code)
    return cls(message)
